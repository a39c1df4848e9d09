// The platform layer's portable services in one include.
#pragma once

#include "smooth/definitions.h"
#include "smooth/string.h"
#include "smooth/rwlock.h"
#include "smooth/array.h"
#include "smooth/signals.h"
#include "smooth/xml.h"
#include "smooth/io.h"
#include "smooth/file.h"
#include "smooth/path.h"
#include "smooth/thread.h"
#include "smooth/graphics.h"

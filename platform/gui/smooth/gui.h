// The platform layer's Windows GUI in one include.
#pragma once

#include <smooth.h>

#include "gui/widget.h"
#include "gui/application.h"
#include "gui/window.h"
#include "gui/titlebar.h"
#include "gui/layer.h"
#include "gui/text.h"
#include "gui/button.h"
#include "gui/checkbox.h"
#include "gui/optionbox.h"
#include "gui/editbox.h"
#include "gui/multiedit.h"
#include "gui/groupbox.h"
#include "gui/progressbar.h"
#include "gui/divider.h"
#include "gui/image.h"
#include "gui/list.h"
#include "gui/bitmap.h"
#include "gui/surface.h"
#include "gui/dialogs.h"
#include "gui/multimonitor.h"

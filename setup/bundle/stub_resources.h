// Resource numbers shared by bundle_stub.rc and the stub's code.
#pragma once

#define IDI_STUB		100	// the program icon (group 100)

// Strings; "%s" in a message stands for the detail the stub fills in.
#define IDS_CAPTION		1	// title of the progress window and of message boxes
#define IDS_PREPARING		2	// text of the progress window
#define IDS_DAMAGED		3
#define IDS_UNPACK_FAILED	4
#define IDS_START_FAILED	5
#define IDS_REFUSED		6
#define IDS_BAD_OPTION		7

// The modal dialog in which the user picks processors.
#pragma once

#include "common/affinity_mask.h"

#include <windows.h>

// Offers a box for every processor of the machine: the template's 32, or, on a machine with
// processors above 31, one for every processor a mask can name (processor_box_columns.h).
// True when the user confirmed with OK; *result then holds a non-empty mask of present
// processors. On Cancel, Escape, the close box or a failure *result is left as it was.
bool ShowProcessorDialog(HWND owner, AffinityMask initialMask, AffinityMask* result);

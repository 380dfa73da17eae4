// The modal dialog in which the user picks processors.
#pragma once

#include <windows.h>

// True when the user confirmed with OK; *result then holds a non-empty mask of present
// processors. On Cancel, Escape, the close box or a failure *result is left as it was.
bool ShowProcessorDialog(HWND owner, unsigned long initialMask, unsigned long* result);

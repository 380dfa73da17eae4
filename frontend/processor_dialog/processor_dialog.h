// The modal dialog in which the user picks processors.
#pragma once

#include "common/affinity_mask.h"

#include <windows.h>

// The controls that the dialog adds at run time, after the boxes of every processor a mask can
// name: the text "Select:" and the drop-down list of choices.
constexpr int kProcessorSelectorLabelId = 2100;
constexpr int kProcessorSelectorId = 2101;

// The timer after which the dialog gives its boxes their tooltips (WM_TIMER with this identifier).
constexpr UINT_PTR kProcessorTooltipTimer = 0x7470;

// Offers a box for every processor of the machine: the template's 32, or, on a machine with
// processors above 31, one for every processor a mask can name, in further columns of eight.
// Where the machine's topology offers a choice (processor_choices.h), or the machine has more
// than 32 processors, "Select:" and a drop-down list of the choices stand on the bottom row, left
// of OK; every present box tells in a tooltip what processor it is.
// True when the user confirmed with OK; *result then holds a non-empty mask of present
// processors. On Cancel, Escape, the close box or a failure *result is left as it was.
bool ShowProcessorDialog(HWND owner, AffinityMask initialMask, AffinityMask* result);

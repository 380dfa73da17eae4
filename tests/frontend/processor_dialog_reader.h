// The processor dialog as its user sees and drives it: the boxes ticked, the selector's entries
// and choice, each box's tooltip (asked of the tooltip control, not hovered), and the arrow keys
// in the selector.
#pragma once

#include "common/affinity_mask.h"
#include "frontend/processor_dialog/processor_dialog.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct ProcessorDialogView {
    int controls = 0;        // the dialog's own child windows
    HWND selector = nullptr; // the drop-down list, null when the dialog has none
    bool hasLabel = false;   // the text "Select:"
    std::vector<std::string> entries;
    std::map<int, std::string> tooltips; // by processor
};

ProcessorDialogView ReadProcessorDialog(HWND dialog);

// The processors whose boxes are ticked.
AffinityMask TickedProcessors(HWND dialog);

// The entry now chosen in the selector (or in the drop-down list listId), -1 for none.
int SelectorChoice(HWND dialog, int listId = kProcessorSelectorId);

// The selector's list as it opens: the entries it shows whole, and the pixels below the last of
// them. Opened with the control's own message and closed again.
struct OpenList {
    int wholeEntries = 0;
    int pixelsLeft = 0;
};
OpenList OpenSelectorList(HWND dialog);

// Focuses the selector (or the drop-down list listId) and presses Down or Up until the entry is
// chosen; false when it cannot be.
bool ChooseWithArrowKeys(HWND dialog, int entry, int listId = kProcessorSelectorId);

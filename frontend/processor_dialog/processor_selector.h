// The processor dialog's drop-down list "Select:", which ticks the processors of a core class, a
// cache or a node in one choice, and the tooltips of its boxes. Both are laid out at run time, so
// the dialog of a machine with nothing to offer stays exactly the template.
#pragma once

#include "common/affinity_mask.h"
#include "frontend/processor_dialog/processor_choices.h"
#include "frontend/processor_dialog/processor_topology.h"

#include <windows.h>

#include <vector>

// Control identifiers, after those of the boxes of every processor a mask can name.
constexpr int kProcessorSelectorLabelId = 2100;
constexpr int kProcessorSelectorId = 2101;

class ProcessorSelector {
  public:
    // Reads the machine's topology once. Where the choices offer more than "All processors", or
    // the machine has more than 32 processors, it adds "Select:" and a drop-down list
    // (CBS_DROPDOWNLIST) of the choices on the dialog's bottom row, left of OK, in tab order after
    // the last of the boxCount boxes. An unknown topology adds nothing.
    void Attach(HWND dialog, AffinityMask present, int boxCount);

    // Gives every present box its tooltip a moment after the dialog is shown, still before any
    // tip could show: made before, the tooltips would cost the dialog about a sixth of its
    // opening time. True when the message was the selector's alone.
    bool HandleMessage(UINT message, WPARAM wParam);

    // A choice in the list ticks exactly its processors' boxes; a box ticked or unticked by hand
    // afterwards clears the choice. True when the command was one of these.
    bool OnCommand(WORD notificationCode, WORD commandId);

  private:
    void Choose(int index);

    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
    int boxCount_ = 0;
    AffinityMask present_ = 0;
    ProcessorTopology topology_;
    bool tooltipsDue_ = false;
    std::vector<ProcessorChoice> choices_;
};

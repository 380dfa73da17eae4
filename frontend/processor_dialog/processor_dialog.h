// The modal dialog in which the user picks processors.
#pragma once

#include "common/affinity_mask.h"
#include "common/processor_set.h"

#include <windows.h>

// The controls that the dialog adds at run time, after the boxes of every processor a mask can
// name: the text "Select:" and the drop-down list of choices; on a machine of several processor
// groups, before the boxes, the text "Group:" and the drop-down list of the groups.
constexpr int kProcessorSelectorLabelId = 2100;
constexpr int kProcessorSelectorId = 2101;
constexpr int kProcessorGroupLabelId = 2102;
constexpr int kProcessorGroupListId = 2103;

// The timer after which the dialog gives its boxes their tooltips (WM_TIMER with this identifier).
constexpr UINT_PTR kProcessorTooltipTimer = 0x7470;

// What the dialog is asked for.
constexpr int kEveryProcessorGroup = -1;
struct ProcessorRequest {
    ProcessorSet initial; // ticked when the dialog opens, where the processors may be ticked
    // The one processor group in which every process the processors are for runs, where there is
    // one (none of them spans groups): only its processors may then be ticked, as no process can
    // be moved to another group.
    int onlyGroup = kEveryProcessorGroup;
};

// Offers a box for every processor of the machine: the template's 32, or, on a machine with
// processors above 31, one for every processor a mask can name, in further columns of eight. On a
// machine of several processor groups the boxes show one group at a time, chosen in "Group:"
// ("Group 1 (64-127)"), named by whole-machine numbers ("CPU 64"), and what is ticked in one
// group stays while another is shown; the dialog opens on the request's one group, or on group 0.
// Where the machine's topology offers a choice (processor_choices.h), or the machine has more
// than 32 processors, "Select:" and a drop-down list of the choices stand on the bottom row, left
// of OK; a choice may tick processors of several groups, and only those that may be ticked (a
// choice with none of them is not offered). Every present box tells in a tooltip what processor
// it is.
// True when the user confirmed with OK; *result then holds a non-empty set of present processors
// that the request allows. On Cancel, Escape, the close box or a failure *result is left as it
// was.
bool ShowProcessorDialog(HWND owner, const ProcessorRequest& request, ProcessorSet* result);

// The processor dialog's tooltips, which tell of each box what processor it is.
#pragma once

#include "common/affinity_mask.h"
#include "frontend/processor_dialog/processor_topology.h"

#include <windows.h>

// Gives the box of every present processor below boxCount a tooltip with DescribeProcessor's
// text, shown when the pointer rests on the box. The tooltip control is owned by the dialog and
// goes with it. Does nothing for an unknown topology.
void AddProcessorBoxTooltips(HWND dialog, const ProcessorTopology& topology, AffinityMask present,
                             int boxCount);

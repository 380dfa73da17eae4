// The text form of an affinity mask, as the main window's list shows it.
#pragma once

#include "common/affinity_mask.h"
#include "common/processor_set.h"
#include "engine/process_placement.h"
#include "engine/processor_groups.h"

#include <string>

// "0-3,5" for bits 0 to 3 and 5, "32,40-47" for bits 32 and 40 to 47; the empty text for 0.
std::string FormatAffinityMask(AffinityMask mask);

// The processors of a set by their whole-machine numbers, written as FormatAffinityMask writes
// bits: "64-127" for group 1 of two groups of 64, "0-127" for both.
std::string FormatProcessorSet(const ProcessorSet& processors, const ProcessorGroups& groups);

// The "Affinity Mask" column's text for a process's mask on a machine of one processor group. The
// system reports 0 for a process whose threads the process itself placed in several groups, as
// no one mask can say where they run: that process reads "several groups".
std::string ProcessMaskText(AffinityMask processMask);

// The column's text on a machine of several groups: the processors the process may use by their
// whole-machine numbers, followed by " (CPU set)" where they are its default CPU sets; "several
// groups" as above.
std::string PlacementText(const ProcessPlacement& placement, const ProcessorGroups& groups);

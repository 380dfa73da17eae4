// The text form of an affinity mask, as the main window's list shows it.
#pragma once

#include "common/affinity_mask.h"

#include <string>

// "0-3,5" for bits 0 to 3 and 5, "32,40-47" for bits 32 and 40 to 47; the empty text for 0.
std::string FormatAffinityMask(AffinityMask mask);

// The "Affinity Mask" column's text for a process's mask. The system reports 0 for a process
// whose threads run in several processor groups, as no one mask can say where they run: that
// process reads "several groups".
std::string ProcessMaskText(AffinityMask processMask);

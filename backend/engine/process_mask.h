// One process's mask, for the library's own callers (the automation object's per-process
// methods); the program reaches processes only through the exported engine (engine/affinity.h).
#pragma once

#include "common/affinity_mask.h"

// How a change of one process's mask ended.
enum class MaskChange {
    kNotOpened, // the process did not open for setting its information
    kRefused,   // it opened, and the system refused the mask
    kApplied,
};

// Opens the process for setting its information and gives it the mask.
MaskChange SetProcessMask(unsigned long processId, AffinityMask mask);

// The process's own mask, through a handle for query; false when it does not open or cannot
// tell. The system mask that comes with it is not kept.
bool GetProcessMask(unsigned long processId, AffinityMask* mask);

// Where one process may run on a machine of several processor groups, as the system tells it:
// the list and the engine both decide by it. On one group nothing here is asked.
#pragma once

#include "common/processor_set.h"
#include "engine/process_platform.h"

enum class PlacementKind {
    // Its threads may use one group only: its process mask in that group.
    kOneGroup,
    // Windows 11's default: its threads may use several groups, and its mask calls act on its
    // primary group only.
    kSpanning,
    // Its threads were placed in several groups by the process itself, or the system has no means
    // to change a process that spans groups: its process mask reads 0 and no mask is accepted.
    kPlacedByItself,
};

struct ProcessPlacement {
    PlacementKind kind = PlacementKind::kOneGroup;
    int group = 0;           // kOneGroup: its group
    ProcessorSet processors; // kOneGroup, kSpanning: the processors it may use
    bool cpuSets = false;    // kSpanning: the processors are its default CPU sets
};

// The placement of the process behind `process` (a handle for limited query at least), whose
// GetProcessAffinityMask gave `processMask`. False when the system cannot tell its groups.
bool ReadProcessPlacement(ProcessPlatform& platform, HANDLE process, AffinityMask processMask,
                          ProcessPlacement* placement);

// The back end's affinity engine, exported from "Tandrel Pro BE.dll" under these C++ names.
// The decorated names encode the exact signatures, so callers bind to them as they stand here;
// the mask is pointer-sized (affinity_mask.h), so the x86_64 names differ from the i686 ones.
#pragma once

#include "common/affinity_mask.h"

// The mask of every processor the machine has (of the calling process's processor group, on a
// machine with several); asked of the system on every call.
AffinityMask GenerateAllProcessorsMask();

// Sets the mask of each listed process. True when the last listed process that could be opened
// accepted the mask; a count of zero or less does nothing and returns false.
bool MoveProcesses(int count, unsigned long* processIds, AffinityMask mask);

// MoveProcesses over every process of the system.
bool MoveAllProcesses(AffinityMask mask);

// Moves every other process to all processors outside the mask, then the listed ones onto it.
// The listed ones are moved even when moving the others reported failure; the result is true
// only when both steps succeeded. A mask that is empty, names an absent processor or leaves no
// processor for the others is refused before anything changes.
bool IsolateProcesses(int count, unsigned long* processIds, AffinityMask mask);

// Enables the debug privilege in the calling process's token, so that services and other
// users' processes can be opened. False when the privilege could not be enabled.
bool EnableServiceManipulation();

// The back end's affinity engine, exported from "Tandrel Pro BE.dll" under these C++ names.
// The decorated names encode the exact signatures, so callers bind to them as they stand here.
#pragma once

// The mask of every processor the machine has; asked of the system on every call.
unsigned long GenerateAllProcessorsMask();

// Sets the mask of each listed process. True when the last listed process that could be opened
// accepted the mask; a count of zero or less does nothing and returns false.
bool MoveProcesses(int count, unsigned long* processIds, unsigned long mask);

// MoveProcesses over every process of the system.
bool MoveAllProcesses(unsigned long mask);

// Moves every other process to the processors outside the mask, then the listed ones onto it.
// The listed ones are moved even when moving the others reported failure; the result is true
// only when both steps succeeded. A mask that is empty, names an absent processor or leaves no
// processor for the others is refused before anything changes.
bool IsolateProcesses(int count, unsigned long* processIds, unsigned long mask);

// Enables the debug privilege in the calling process's token, so that services and other
// users' processes can be opened. False when the privilege could not be enabled.
bool EnableServiceManipulation();

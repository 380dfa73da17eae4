// One process's processors, for the engine's loops and the library's own callers (the automation
// object's per-process methods); the program reaches processes only through the exported engine
// (engine/affinity.h).
#pragma once

#include "common/affinity_mask.h"
#include "common/processor_set.h"

// How a change of one process's processors ended.
enum class MaskChange {
    kNotOpened, // the process did not open for the call, or could not say where it may run
    kRefused,   // it opened, and the system, or the rule for its groups, refused the change
    kApplied,
};

// Why a process on a machine of several groups was refused before any change was asked.
enum class GroupRefusal {
    kNone,
    kOtherGroup,     // it runs only in one group, which the processors are not all of
    kPlacedByItself, // it placed its threads in several groups itself
};

struct ProcessChange {
    MaskChange change = MaskChange::kNotOpened;
    GroupRefusal refusal = GroupRefusal::kNone;
    int group = 0; // kOtherGroup: the group it runs in
};

// Opens the process for setting its information and gives it the mask: the one call that sets a
// process's mask, as the engine has always asked it.
MaskChange ApplyProcessMask(unsigned long processId, AffinityMask mask);

// ApplyProcessMask, on one group. On a machine of several groups the mask's bits are
// whole-machine numbers and the process is moved as MoveProcessOnto.
MaskChange SetProcessMask(unsigned long processId, AffinityMask mask);

// The process's own mask, through a handle for query; false when it does not open or cannot
// tell. The system mask that comes with it is not kept. On a machine of several groups the
// processors it may use as whole-machine numbers (0 for one that placed its threads itself), and
// false when one of them is numbered 64 or above.
bool GetProcessMask(unsigned long processId, AffinityMask* mask);

// Every processor of the machine as whole-machine numbers: on one group the all-processors mask
// (GenerateAllProcessorsMask), on several every group's processors; false when one of them is
// numbered 64 or above.
bool AllProcessorNumbers(AffinityMask* numbers);

// The three changes of a machine of several groups (engine/affinity.h says which call each
// kind of process gets). Each reads where the process may run through a handle for limited
// query, then opens it again with the rights of the one call it makes.
ProcessChange MoveProcessOnto(unsigned long processId, const ProcessorSet& processors);
ProcessChange MoveProcessOffOf(unsigned long processId, const ProcessorSet& processors);
ProcessChange ResetProcess(unsigned long processId);

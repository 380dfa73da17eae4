// The back end's affinity engine, exported from "Tandrel Pro BE.dll" under these C++ names.
// The decorated names encode the exact signatures, so callers bind to them as they stand here;
// the mask is pointer-sized (affinity_mask.h), so the x86_64 names differ from the i686 ones.
#pragma once

#include "common/affinity_mask.h"
#include "common/processor_set.h"

// The four functions below that take or give masks keep their names and, on a machine of one
// processor group, every call they ever made. On a machine of several groups the three that take
// a mask read its bits as whole-machine processor numbers 0 to 63 (engine/processor_groups.h) and
// do what their processor-set counterparts further down do with those processors.

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

// What a move onto processors could not do on a machine of several processor groups, for the
// program's window to tell. Plain data, as it crosses the library's boundary.
struct GroupRefusals {
    // Listed processes that run only in group g, which the processors asked for are not all of:
    // no call moves a process to another group.
    unsigned long inOneGroup[kMaxProcessorGroups];
    // Listed processes whose threads the process itself placed in several groups: the system
    // takes no new processors for them.
    unsigned long placedThemselves;
    // Isolate only: other processes of that kind, left as they are, which may still run on the
    // processors asked for.
    unsigned long othersLeft;
};

// The operations on sets of processors of every group. Each opens a process with the rights its
// call needs: limited query to read where it may run, set information for its mask, set limited
// information for its CPU sets. On a machine of one group each makes exactly the calls of its
// mask counterpart above and refuses nobody for a group. `refusals`, where not null, is cleared
// and then counts the processes refused for their group.

// Moves each listed process onto the processors: one that runs in one group gets them as its mask
// when they all lie in its group and is refused otherwise; one that spans groups (Windows 11) gets
// them as its default CPU sets; one that placed its threads itself is refused. Results as
// MoveProcesses; an empty set is refused before anything changes.
bool MoveProcessesOnto(int count, unsigned long* processIds, const ProcessorSet& processors,
                       GroupRefusals* refusals);

// Gives every other process the machine's processors outside the set (a one-group process those
// of its group, as its mask; a spanning one all the others, as its default CPU sets; one that
// placed its threads itself is left and counted), then MoveProcessesOnto for the listed ones.
// Results as IsolateProcesses. Refused before anything changes when the set is empty, names an
// absent processor or holds every processor of some group, whose one-group processes would have
// nowhere to go.
bool IsolateProcessesOn(int count, unsigned long* processIds, const ProcessorSet& processors,
                        GroupRefusals* refusals);

// Gives every process all processors: a one-group process every processor of its group as its
// mask (and, on Windows 11, no default CPU sets); a spanning one no default CPU sets, never a
// mask, which would confine it to one group for good; one that placed its threads itself is left
// as it is. On one group exactly MoveAllProcesses(GenerateAllProcessorsMask()). Results as
// MoveAllProcesses.
bool ResetAllProcesses();

// Enables the debug privilege in the calling process's token, so that services and other
// users' processes can be opened. False when the privilege could not be enabled.
bool EnableServiceManipulation();

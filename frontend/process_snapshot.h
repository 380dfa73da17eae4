// The front end's read-only view of the running processes.
// Failures are thrown as std::string holding the message text.
#pragma once

#include "common/affinity_mask.h"
#include "engine/process_placement.h"

#include <list>
#include <memory>
#include <string>

struct ProcessEntry {
    unsigned long processId = 0;
    // As GetProcessAffinityMask reports it: of the process's (primary) group; 0 for a process
    // whose threads it placed in several processor groups itself.
    AffinityMask affinityMask = 0;
    std::string fileName;
    // On a machine of several processor groups, where it may run (its groups and CPU sets), read
    // with the same handle and shared by the entry's copies; null on one group, where the mask
    // says it all and an entry stays as small as it was.
    std::shared_ptr<const ProcessPlacement> placement;
};

using ProcessList = std::list<ProcessEntry>;

// Appends an entry for every process that can be read, in enumeration order.
// Throws "Error enumerating processes!" when the enumeration fails; nothing is appended then.
void TakeProcessSnapshot(ProcessList& processes);

// Fills the entry for one process, or throws one of the per-process messages and leaves the
// entry untouched. A handle for limited query gives the image name and the mask without reading
// the process's memory; where that handle does not open or the name cannot be asked, the first
// module's file name is read through a handle for query and memory read, whose failures give the
// messages.
void ReadProcessEntry(ProcessEntry& entry, unsigned long processId);

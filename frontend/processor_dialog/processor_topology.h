// What the system says about the shape of the machine's processors: which logical processors
// share a core, which share the last-level cache, which belong to one NUMA node, and each core's
// efficiency class. The front end reads it once per processor dialog; it changes nothing.
#pragma once

#include "common/affinity_mask.h"
#include "common/processor_set.h"

#include <windows.h>

#include <vector>

// Logical processors that share a core, a cache or a node: never an empty mask, and all in one
// processor group, as the system reports each of them with the mask of one group.
struct ProcessorCore {
    AffinityMask processors = 0;
    // Higher is faster; the same for every core of a machine with one kind of core.
    BYTE efficiencyClass = 0;
    int group = 0;
};

struct ProcessorCache {
    AffinityMask processors = 0;
    int level = 0; // as the system reports it: 3 for an L3 cache
    DWORD sizeBytes = 0;
    int group = 0;
};

struct ProcessorNode {
    AffinityMask processors = 0;
    int group = 0;
};

// Cores, last-level caches and nodes are each numbered from 0 in the order of their lowest
// logical processor over the whole machine (group by group), and hold only present processors.
struct ProcessorTopology {
    // False when the system could not say; the lists are then empty.
    bool known = false;
    std::vector<ProcessorCore> cores;
    // For each processor the cache of the highest level that lists it.
    std::vector<ProcessorCache> lastLevelCaches;
    std::vector<ProcessorNode> nodes;
};

// The topology of the present processors of every group, from GetLogicalProcessorInformationEx
// through the current TopologyPlatform. Unknown when the call is missing or fails, or when it
// leaves a present processor outside every core.
ProcessorTopology ReadProcessorTopology(const ProcessorSet& present);

// The index in `parts` of the one that holds bit `bit` of group `group`, or -1.
template <typename Part> int IndexHolding(const std::vector<Part>& parts, int group, int bit) {
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].group == group && (parts[i].processors & ProcessorBit(bit)) != 0)
            return static_cast<int>(i);
    return -1;
}

// The part's processors as a set of the machine.
template <typename Part> ProcessorSet ProcessorsOf(const Part& part) {
    return ProcessorSet::InGroup(part.group, part.processors);
}

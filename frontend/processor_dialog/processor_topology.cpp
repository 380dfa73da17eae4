#include "frontend/processor_dialog/processor_topology.h"

#include "engine/process_platform.h"
#include "frontend/processor_dialog/topology_platform.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {
// PROCESSOR_RELATIONSHIP as the system lays it out; MinGW's headers still call the efficiency
// class, the byte after the flags, reserved.
struct ProcessorRelationship {
    BYTE Flags;
    BYTE EfficiencyClass;
    BYTE Reserved[20];
    WORD GroupCount;
    GROUP_AFFINITY GroupMask[ANYSIZE_ARRAY];
};
static_assert(sizeof(ProcessorRelationship) == sizeof(PROCESSOR_RELATIONSHIP));
static_assert(offsetof(ProcessorRelationship, GroupMask) ==
              offsetof(PROCESSOR_RELATIONSHIP, GroupMask));

// One record of the answer, with its relation's own size checked against the record.
using Record = SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX;
constexpr DWORD kHeaderBytes = offsetof(Record, Processor);

std::vector<BYTE> ReadRecords() {
    return ReadLogicalProcessorRecords([](Record* records, DWORD* length, DWORD* lastError) {
        const BOOL read = CurrentTopologyPlatform().LogicalProcessorInformation(records, length);
        *lastError = read ? ERROR_SUCCESS : ::GetLastError();
        return read;
    });
}

// The present processors of one group's mask, or 0 for a group past those a set can hold.
AffinityMask PresentOf(const GROUP_AFFINITY& affinity, const ProcessorSet& present) {
    return affinity.Group < kMaxProcessorGroups ? affinity.Mask & present.groups[affinity.Group]
                                                : 0;
}

// Group by group, and in a group by the lowest processor: the whole machine's order.
template <typename Part> void SortByLowestProcessor(std::vector<Part>& parts) {
    std::stable_sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) {
        if (a.group != b.group)
            return a.group < b.group;
        return LowestProcessorBit(a.processors) < LowestProcessorBit(b.processors);
    });
}

// Cores and nodes go straight into the topology; every data cache goes into `caches`, from which
// the last level is chosen once all are known.
void AddRecord(const Record& record, const ProcessorSet& present, ProcessorTopology& topology,
               std::vector<ProcessorCache>& caches) {
    const DWORD bodyBytes = record.Size - kHeaderBytes;
    switch (record.Relationship) {
    case RelationProcessorCore: {
        const auto& core = *reinterpret_cast<const ProcessorRelationship*>(&record.Processor);
        if (bodyBytes < offsetof(ProcessorRelationship, GroupMask))
            return;
        // A core lies in one group; should the system name several, each part counts as one.
        for (WORD g = 0; g < core.GroupCount; ++g) {
            if (offsetof(ProcessorRelationship, GroupMask) + (g + 1) * sizeof(GROUP_AFFINITY) >
                bodyBytes)
                break;
            const AffinityMask processors = PresentOf(core.GroupMask[g], present);
            if (processors != 0)
                topology.cores.push_back(
                    {processors, core.EfficiencyClass, core.GroupMask[g].Group});
        }
        return;
    }
    case RelationCache: {
        const CACHE_RELATIONSHIP& cache = record.Cache;
        // Instruction and trace caches never hold the data that processors share.
        if (bodyBytes < sizeof(CACHE_RELATIONSHIP) ||
            (cache.Type != CacheUnified && cache.Type != CacheData))
            return;
        const AffinityMask processors = PresentOf(cache.GroupMask, present);
        if (processors != 0)
            caches.push_back({processors, cache.Level, cache.CacheSize, cache.GroupMask.Group});
        return;
    }
    case RelationNumaNode: {
        if (bodyBytes < sizeof(NUMA_NODE_RELATIONSHIP))
            return;
        const AffinityMask processors = PresentOf(record.NumaNode.GroupMask, present);
        if (processors != 0)
            topology.nodes.push_back({processors, record.NumaNode.GroupMask.Group});
        return;
    }
    default:
        return;
    }
}

// For each processor the cache of the highest level that lists it (the first such when two of
// one level do), each cache once.
std::vector<ProcessorCache> LastLevelCaches(const std::vector<ProcessorCache>& caches,
                                            const ProcessorSet& present) {
    std::vector<ProcessorCache> lastLevel;
    std::vector<size_t> taken;
    for (int group = 0; group < kMaxProcessorGroups; ++group)
        for (int bit = 0; bit < kMaskProcessors && present.groups[group] != 0; ++bit) {
            if ((present.groups[group] & ProcessorBit(bit)) == 0)
                continue;
            size_t highest = caches.size();
            for (size_t i = 0; i < caches.size(); ++i)
                if (caches[i].group == group && (caches[i].processors & ProcessorBit(bit)) != 0 &&
                    (highest == caches.size() || caches[i].level > caches[highest].level))
                    highest = i;
            if (highest != caches.size() &&
                std::find(taken.begin(), taken.end(), highest) == taken.end()) {
                taken.push_back(highest);
                lastLevel.push_back(caches[highest]);
            }
        }
    return lastLevel;
}
} // namespace

ProcessorTopology ReadProcessorTopology(const ProcessorSet& present) {
    const std::vector<BYTE> buffer = ReadRecords();
    ProcessorTopology topology;
    std::vector<ProcessorCache> caches;
    for (size_t offset = 0; offset + kHeaderBytes <= buffer.size();) {
        const auto& record = *reinterpret_cast<const Record*>(buffer.data() + offset);
        if (record.Size < kHeaderBytes || record.Size > buffer.size() - offset)
            break;
        AddRecord(record, present, topology, caches);
        offset += record.Size;
    }

    ProcessorSet inCores;
    for (const ProcessorCore& core : topology.cores) {
        const ProcessorSet processors = ProcessorsOf(core);
        if (!inCores.Intersect(processors).empty())
            return {}; // a processor in two cores: an answer not to be trusted
        inCores = inCores.Union(processors);
    }
    if (present.empty() || inCores != present)
        return {};

    topology.known = true;
    topology.lastLevelCaches = LastLevelCaches(caches, present);
    SortByLowestProcessor(topology.cores);
    SortByLowestProcessor(topology.lastLevelCaches);
    SortByLowestProcessor(topology.nodes);
    return topology;
}

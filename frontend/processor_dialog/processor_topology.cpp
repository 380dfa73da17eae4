#include "frontend/processor_dialog/processor_topology.h"

#include "frontend/processor_dialog/topology_platform.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {
// The group whose processors the program's masks name: the only one under Wine, and the one a
// process starts in on a machine of 64 processors or fewer.
constexpr WORD kProgramGroup = 0;
// A buffer that proves too small again (processors coming online between the calls) is grown and
// asked for again, a few times at most.
constexpr int kReadAttempts = 4;

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
    DWORD length = 0;
    std::vector<BYTE> buffer;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        buffer.resize(length);
        auto* records = length != 0 ? reinterpret_cast<Record*>(buffer.data()) : nullptr;
        if (CurrentTopologyPlatform().LogicalProcessorInformation(records, &length)) {
            buffer.resize(std::min<size_t>(length, buffer.size()));
            return buffer;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= buffer.size())
            break;
    }
    return {};
}

AffinityMask InProgramGroup(const GROUP_AFFINITY& affinity) {
    return affinity.Group == kProgramGroup ? affinity.Mask : 0;
}

template <typename Group> void SortByLowestProcessor(std::vector<Group>& groups) {
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        return LowestProcessorBit(a.processors) < LowestProcessorBit(b.processors);
    });
}

// Cores and nodes go straight into the topology; every data cache goes into `caches`, from which
// the last level is chosen once all are known.
void AddRecord(const Record& record, AffinityMask present, ProcessorTopology& topology,
               std::vector<ProcessorCache>& caches) {
    const DWORD bodyBytes = record.Size - kHeaderBytes;
    switch (record.Relationship) {
    case RelationProcessorCore: {
        const auto& core = *reinterpret_cast<const ProcessorRelationship*>(&record.Processor);
        if (bodyBytes < offsetof(ProcessorRelationship, GroupMask))
            return;
        AffinityMask processors = 0;
        for (WORD g = 0; g < core.GroupCount; ++g) {
            if (offsetof(ProcessorRelationship, GroupMask) + (g + 1) * sizeof(GROUP_AFFINITY) >
                bodyBytes)
                break;
            processors |= InProgramGroup(core.GroupMask[g]);
        }
        if ((processors & present) != 0)
            topology.cores.push_back({processors & present, core.EfficiencyClass});
        return;
    }
    case RelationCache: {
        const CACHE_RELATIONSHIP& cache = record.Cache;
        // Instruction and trace caches never hold the data that processors share.
        if (bodyBytes < sizeof(CACHE_RELATIONSHIP) ||
            (cache.Type != CacheUnified && cache.Type != CacheData))
            return;
        const AffinityMask processors = InProgramGroup(cache.GroupMask) & present;
        if (processors != 0)
            caches.push_back({processors, cache.Level, cache.CacheSize});
        return;
    }
    case RelationNumaNode: {
        if (bodyBytes < sizeof(NUMA_NODE_RELATIONSHIP))
            return;
        const AffinityMask processors = InProgramGroup(record.NumaNode.GroupMask) & present;
        if (processors != 0)
            topology.nodes.push_back({processors});
        return;
    }
    default:
        return;
    }
}

// For each processor the cache of the highest level that lists it (the first such when two of
// one level do), each cache once.
std::vector<ProcessorCache> LastLevelCaches(const std::vector<ProcessorCache>& caches,
                                            AffinityMask present) {
    std::vector<ProcessorCache> lastLevel;
    std::vector<size_t> taken;
    for (int processor = 0; processor < kMaskProcessors; ++processor) {
        if ((present & ProcessorBit(processor)) == 0)
            continue;
        size_t highest = caches.size();
        for (size_t i = 0; i < caches.size(); ++i)
            if ((caches[i].processors & ProcessorBit(processor)) != 0 &&
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

ProcessorTopology ReadProcessorTopology(AffinityMask present) {
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

    AffinityMask inCores = 0;
    for (const ProcessorCore& core : topology.cores) {
        if ((inCores & core.processors) != 0)
            return {}; // a processor in two cores: an answer not to be trusted
        inCores |= core.processors;
    }
    if (present == 0 || inCores != present)
        return {};

    topology.known = true;
    topology.lastLevelCaches = LastLevelCaches(caches, present);
    SortByLowestProcessor(topology.cores);
    SortByLowestProcessor(topology.lastLevelCaches);
    SortByLowestProcessor(topology.nodes);
    return topology;
}

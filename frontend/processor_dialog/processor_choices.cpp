#include "frontend/processor_dialog/processor_choices.h"

#include "frontend/affinity_mask_text.h"

#include <algorithm>

namespace {
constexpr DWORD kKilobyte = 1024;
constexpr DWORD kMegabyte = 1024 * kKilobyte;

bool HasSeveralClasses(const ProcessorTopology& topology) {
    if (topology.cores.empty())
        return false;
    for (const ProcessorCore& core : topology.cores)
        if (core.efficiencyClass != topology.cores.front().efficiencyClass)
            return true;
    return false;
}

std::string SizeText(DWORD bytes) {
    if (bytes % kMegabyte == 0)
        return std::to_string(bytes / kMegabyte) + " MB";
    return std::to_string(bytes / kKilobyte) + " KB";
}

std::string CacheName(const ProcessorTopology& topology, int index) {
    return "L" + std::to_string(topology.lastLevelCaches[index].level) + " cache " +
           std::to_string(index);
}
} // namespace

std::vector<ProcessorChoice> ProcessorChoices(const ProcessorTopology& topology,
                                              AffinityMask present) {
    if (!topology.known)
        return {};
    std::vector<ProcessorChoice> choices{{"All processors", present}};

    AffinityMask firstThreads = 0;
    bool someCoreHasSeveral = false;
    for (const ProcessorCore& core : topology.cores) {
        firstThreads |= LowestProcessorBit(core.processors);
        someCoreHasSeveral = someCoreHasSeveral || ProcessorCount(core.processors) > 1;
    }
    if (someCoreHasSeveral)
        choices.push_back({"One thread per core", firstThreads});

    if (HasSeveralClasses(topology)) {
        const BYTE fastest = std::max_element(topology.cores.begin(), topology.cores.end(),
                                              [](const ProcessorCore& a, const ProcessorCore& b) {
                                                  return a.efficiencyClass < b.efficiencyClass;
                                              })
                                 ->efficiencyClass;
        AffinityMask performance = 0;
        for (const ProcessorCore& core : topology.cores)
            if (core.efficiencyClass == fastest)
                performance |= core.processors;
        choices.push_back({"Performance cores", performance});
        choices.push_back({"Efficiency cores", present & ~performance});
    }

    if (topology.lastLevelCaches.size() > 1)
        for (size_t i = 0; i < topology.lastLevelCaches.size(); ++i) {
            const ProcessorCache& cache = topology.lastLevelCaches[i];
            choices.push_back({CacheName(topology, static_cast<int>(i)) + ", " +
                                   SizeText(cache.sizeBytes) + " (" +
                                   FormatAffinityMask(cache.processors) + ")",
                               cache.processors});
        }

    if (topology.nodes.size() > 1)
        for (size_t i = 0; i < topology.nodes.size(); ++i)
            choices.push_back({"NUMA node " + std::to_string(i) + " (" +
                                   FormatAffinityMask(topology.nodes[i].processors) + ")",
                               topology.nodes[i].processors});
    return choices;
}

std::string DescribeProcessor(const ProcessorTopology& topology, int processor) {
    std::string text = "CPU " + std::to_string(processor);
    const int core = IndexHolding(topology.cores, processor);
    if (core < 0)
        return text;
    text += ": core " + std::to_string(core);
    const int threads = ProcessorCount(topology.cores[core].processors);
    if (threads > 1)
        text += " (" + std::to_string(threads) + " threads)";
    const int cache = IndexHolding(topology.lastLevelCaches, processor);
    if (cache >= 0)
        text += ", " + CacheName(topology, cache);
    const int node = IndexHolding(topology.nodes, processor);
    if (node >= 0)
        text += ", NUMA node " + std::to_string(node);
    if (HasSeveralClasses(topology))
        text += ", efficiency class " + std::to_string(topology.cores[core].efficiencyClass);
    return text;
}

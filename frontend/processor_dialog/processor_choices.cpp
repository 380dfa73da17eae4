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

std::vector<ProcessorSetChoice> ProcessorChoices(const ProcessorTopology& topology,
                                                 const ProcessorGroups& machine) {
    if (!topology.known)
        return {};
    const ProcessorSet present = machine.All();
    std::vector<ProcessorSetChoice> choices{{"All processors", present}};

    ProcessorSet firstThreads;
    bool someCoreHasSeveral = false;
    for (const ProcessorCore& core : topology.cores) {
        firstThreads.groups[core.group] |= LowestProcessorBit(core.processors);
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
        ProcessorSet performance;
        for (const ProcessorCore& core : topology.cores)
            if (core.efficiencyClass == fastest)
                performance.groups[core.group] |= core.processors;
        choices.push_back({"Performance cores", performance});
        choices.push_back({"Efficiency cores", present.Without(performance)});
    }

    if (topology.lastLevelCaches.size() > 1)
        for (size_t i = 0; i < topology.lastLevelCaches.size(); ++i) {
            const ProcessorSet cache = ProcessorsOf(topology.lastLevelCaches[i]);
            choices.push_back({CacheName(topology, static_cast<int>(i)) + ", " +
                                   SizeText(topology.lastLevelCaches[i].sizeBytes) + " (" +
                                   FormatProcessorSet(cache, machine) + ")",
                               cache});
        }

    if (topology.nodes.size() > 1)
        for (size_t i = 0; i < topology.nodes.size(); ++i) {
            const ProcessorSet node = ProcessorsOf(topology.nodes[i]);
            choices.push_back(
                {"NUMA node " + std::to_string(i) + " (" + FormatProcessorSet(node, machine) + ")",
                 node});
        }
    return choices;
}

std::string DescribeProcessor(const ProcessorTopology& topology, const ProcessorGroups& machine,
                              int group, int bit) {
    std::string text = "CPU " + std::to_string(machine.Number(group, bit));
    const int core = IndexHolding(topology.cores, group, bit);
    if (core < 0)
        return text;
    text += ": core " + std::to_string(core);
    const int threads = ProcessorCount(topology.cores[core].processors);
    if (threads > 1)
        text += " (" + std::to_string(threads) + " threads)";
    const int cache = IndexHolding(topology.lastLevelCaches, group, bit);
    if (cache >= 0)
        text += ", " + CacheName(topology, cache);
    const int node = IndexHolding(topology.nodes, group, bit);
    if (node >= 0)
        text += ", NUMA node " + std::to_string(node);
    if (HasSeveralClasses(topology))
        text += ", efficiency class " + std::to_string(topology.cores[core].efficiencyClass);
    return text;
}

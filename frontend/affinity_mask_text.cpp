#include "frontend/affinity_mask_text.h"

namespace {
// Appends the run first to last as the column writes it.
void AppendRun(std::string& text, int first, int last) {
    if (!text.empty())
        text += ',';
    text += std::to_string(first);
    if (first < last)
        text += '-' + std::to_string(last);
}

bool IsSet(AffinityMask mask, int position) {
    // Past the last bit reads as clear, which closes a run that reaches the last processor.
    return position < kMaskProcessors && (mask & ProcessorBit(position)) != 0;
}
} // namespace

// Every position of the mask is walked, not only those below the processor count: a machine
// whose processors are not numbered 0 to N-1 still shows each set bit, and for processors that
// are numbered so the text is the same as a walk that stops at N.
std::string FormatAffinityMask(AffinityMask mask) {
    std::string text;
    bool runOpen = false;
    int runStart = 0;
    for (int position = 0; position <= kMaskProcessors; ++position) {
        const bool set = IsSet(mask, position);
        if (set && !runOpen) {
            runOpen = true;
            runStart = position;
        } else if (!set && runOpen) {
            runOpen = false;
            AppendRun(text, runStart, position - 1);
        }
    }
    return text;
}

std::string FormatProcessorSet(const ProcessorSet& processors, const ProcessorGroups& groups) {
    std::string text;
    int first = -1;
    int last = -1;
    // Numbers come in increasing order, so a run continues across the end of a group whose last
    // processor and the next group's first are neighbours.
    groups.ForEachNumber(processors, [&](int number) {
        if (first >= 0 && number == last + 1) {
            last = number;
            return;
        }
        if (first >= 0)
            AppendRun(text, first, last);
        first = last = number;
    });
    if (first >= 0)
        AppendRun(text, first, last);
    return text;
}

std::string ProcessMaskText(AffinityMask processMask) {
    return processMask == 0 ? "several groups" : FormatAffinityMask(processMask);
}

std::string PlacementText(const ProcessPlacement& placement, const ProcessorGroups& groups) {
    if (placement.kind == PlacementKind::kPlacedByItself)
        return "several groups";
    std::string text = FormatProcessorSet(placement.processors, groups);
    if (placement.cpuSets)
        text += " (CPU set)";
    return text;
}

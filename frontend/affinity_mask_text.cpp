#include "frontend/affinity_mask_text.h"

namespace {
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
            if (!text.empty())
                text += ',';
            text += std::to_string(runStart);
            if (runStart < position - 1)
                text += '-' + std::to_string(position - 1);
        }
    }
    return text;
}

std::string ProcessMaskText(AffinityMask processMask) {
    return processMask == 0 ? "several groups" : FormatAffinityMask(processMask);
}

#include "affinity_mask_text.h"

namespace {
constexpr int kMaskBits = 32;

bool IsSet(unsigned long mask, int position) {
    // Past the last bit reads as clear, which closes a run that reaches processor 31.
    return position < kMaskBits && (mask & (1UL << position)) != 0;
}
} // namespace

// Every position of the mask is walked, not only those below the processor count: a machine
// whose processors are not numbered 0 to N-1 still shows each set bit, and for processors that
// are numbered so the text is the same as a walk that stops at N.
std::string FormatAffinityMask(unsigned long mask) {
    std::string text;
    bool runOpen = false;
    int runStart = 0;
    for (int position = 0; position <= kMaskBits; ++position) {
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

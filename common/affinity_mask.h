// The affinity mask: bit n set means processor n. Pointer-sized, as the system's own masks are
// (DWORD_PTR in SetProcessAffinityMask and GetSystemInfo): 32 bits in the i686 build, where it is
// `unsigned long`, and 64 bits in the x86_64 build. The engine's exported names encode it.
#pragma once

#include <basetsd.h>

using AffinityMask = DWORD_PTR;

// The processors a mask can name: 0 to kMaskProcessors - 1.
constexpr int kMaskProcessors = sizeof(AffinityMask) * 8;

// The bit of one processor; processor must be below kMaskProcessors.
constexpr AffinityMask ProcessorBit(int processor) {
    return AffinityMask{1} << processor;
}

// How many processors the mask names.
constexpr int ProcessorCount(AffinityMask mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;
    return count;
}

// The bit of the mask's lowest-numbered processor; 0 for an empty mask.
constexpr AffinityMask LowestProcessorBit(AffinityMask mask) {
    return mask & (~mask + 1);
}

#include "engine/private_heap.h"

namespace {
HANDLE privateHeap;

HANDLE Heap() {
    if (privateHeap == nullptr)
        privateHeap = ::HeapCreate(0, 0, 0);
    return privateHeap;
}
} // namespace

void CreatePrivateHeap() {
    Heap();
}

void DestroyPrivateHeap() {
    if (privateHeap != nullptr) {
        ::HeapDestroy(privateHeap);
        privateHeap = nullptr;
    }
}

void* PrivateHeapAlloc(SIZE_T bytes) {
    HANDLE heap = Heap();
    return heap != nullptr ? ::HeapAlloc(heap, 0, bytes) : nullptr;
}

void PrivateHeapFree(void* block) {
    if (block != nullptr && privateHeap != nullptr)
        ::HeapFree(privateHeap, 0, block);
}

#include "module_state.h"

#include "class_table.h"

namespace {
HMODULE module;
HANDLE privateHeap;
LONG lockCount;

HANDLE Heap() {
    if (privateHeap == nullptr)
        privateHeap = ::HeapCreate(0, 0, 0);
    return privateHeap;
}
} // namespace

void InitializeModuleState(HMODULE thisModule) {
    module = thisModule;
    Heap();
    InitializeClassTable();
}

void TerminateModuleState() {
    TerminateClassTable();
    if (privateHeap != nullptr) {
        ::HeapDestroy(privateHeap);
        privateHeap = nullptr;
    }
}

HRESULT ThisModuleFileName(char* path) {
    // The whole buffer: the system counts the terminating zero in the size it is given.
    DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return S_OK;
    DWORD error = length == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    path[0] = '\0';
    return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_MOD_NOT_FOUND);
}

void* PrivateHeapAlloc(SIZE_T bytes) {
    HANDLE heap = Heap();
    return heap != nullptr ? ::HeapAlloc(heap, 0, bytes) : nullptr;
}

void PrivateHeapFree(void* block) {
    if (block != nullptr && privateHeap != nullptr)
        ::HeapFree(privateHeap, 0, block);
}

void LockModule() {
    ::InterlockedIncrement(&lockCount);
}
void UnlockModule() {
    ::InterlockedDecrement(&lockCount);
}
LONG ModuleLockCount() {
    return ::InterlockedCompareExchange(&lockCount, 0, 0);
}

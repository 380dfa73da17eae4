#include "module_state.h"

#include "automation/affinity_manager.h"
#include "automation/class_factory.h"
#include "registration/resources.h"
#include "registration/script.h"
#include "tandrel_pro.h"

namespace {
HMODULE module;
HANDLE privateHeap;
LONG lockCount;
CRITICAL_SECTION classTableLock;

void NoClassStartup(bool) {}

HRESULT UpdateAffinityManagerRegistry(bool registering) {
    return ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, registering);
}

ClassEntry classTable[] = {
    {&CLSID_AffinityManager, UpdateAffinityManagerRegistry, ClassFactory::Create,
     AffinityManager::CreateInstance, nullptr, NoClassStartup},
};

TypeInfoHolder affinityManagerTypeInfo(IID_IAffinityManager, LIBID_TandrelPro, 1, 0);

HANDLE Heap() {
    if (privateHeap == nullptr)
        privateHeap = ::HeapCreate(0, 0, 0);
    return privateHeap;
}
} // namespace

void InitializeModuleState(HMODULE thisModule) {
    module = thisModule;
    Heap();
    ::InitializeCriticalSection(&classTableLock);
    affinityManagerTypeInfo.Initialize();
    for (ClassEntry& entry : classTable)
        entry.classStartup(true);
}

void TerminateModuleState() {
    for (ClassEntry& entry : classTable) {
        entry.classStartup(false);
        if (entry.factory != nullptr) {
            entry.factory->Release();
            entry.factory = nullptr;
        }
    }
    affinityManagerTypeInfo.Terminate();
    ::DeleteCriticalSection(&classTableLock);
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

ClassEntry* ClassTableBegin() {
    return std::begin(classTable);
}
ClassEntry* ClassTableEnd() {
    return std::end(classTable);
}

CRITICAL_SECTION& ClassTableLock() {
    return classTableLock;
}

TypeInfoHolder& AffinityManagerTypeInfo() {
    return affinityManagerTypeInfo;
}

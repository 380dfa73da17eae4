#include "class_table.h"

#include "automation/affinity_manager.h"
#include "registration/resources.h"
#include "registration/script.h"
#include "tandrel_pro.h"

#include <iterator>

namespace {
CRITICAL_SECTION classTableLock;

HRESULT UpdateAffinityManagerRegistry(bool registering) {
    return ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, registering);
}

ClassEntry classTable[] = {
    {&CLSID_AffinityManager, UpdateAffinityManagerRegistry, AffinityManager::CreateInstance,
     nullptr},
};
} // namespace

ClassEntry* ClassTableBegin() {
    return std::begin(classTable);
}
ClassEntry* ClassTableEnd() {
    return std::end(classTable);
}

CRITICAL_SECTION& ClassTableLock() {
    return classTableLock;
}

void InitializeClassTable() {
    ::InitializeCriticalSection(&classTableLock);
    AffinityManager::InitializeClass();
}

void TerminateClassTable() {
    for (ClassEntry& entry : classTable) {
        if (IUnknown* factory = entry.factory.exchange(nullptr))
            factory->Release();
    }
    AffinityManager::TerminateClass();
    ::DeleteCriticalSection(&classTableLock);
}

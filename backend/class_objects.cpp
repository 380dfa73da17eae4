// The exports through which COM finds the library's classes and asks whether it may unload it.
#include "class_table.h"
#include "module_state.h"

#include <objbase.h>

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    for (ClassEntry* entry = ClassTableBegin(); entry != ClassTableEnd(); ++entry) {
        if (!::IsEqualCLSID(clsid, *entry->clsid))
            continue;
        IUnknown* factory = entry->factory.load(std::memory_order_acquire);
        if (factory == nullptr) {
            ::EnterCriticalSection(&ClassTableLock());
            factory = entry->factory.load(std::memory_order_relaxed);
            if (factory == nullptr &&
                SUCCEEDED(ClassFactory::Create(entry->createInstance, IID_IUnknown,
                                               reinterpret_cast<void**>(&factory))))
                entry->factory.store(factory, std::memory_order_release);
            ::LeaveCriticalSection(&ClassTableLock());
            if (factory == nullptr)
                return E_OUTOFMEMORY;
        }
        return factory->QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

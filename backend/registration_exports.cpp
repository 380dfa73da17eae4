// The self-registration exports that registration tools and installers call.
#include "class_table.h"
#include "registration/type_library.h"

STDAPI DllRegisterServer() {
    for (ClassEntry* entry = ClassTableBegin(); entry != ClassTableEnd(); ++entry) {
        if (entry->updateRegistry == nullptr)
            continue;
        HRESULT result = entry->updateRegistry(true);
        if (FAILED(result))
            return result;
    }
    // No class declares component categories.
    return RegisterModuleTypeLibrary();
}

// Whatever cannot be removed stays; the caller learns nothing of it.
STDAPI DllUnregisterServer() {
    for (ClassEntry* entry = ClassTableBegin(); entry != ClassTableEnd(); ++entry) {
        if (entry->updateRegistry != nullptr)
            entry->updateRegistry(false);
    }
    UnregisterModuleTypeLibrary();
    return S_OK;
}

// The self-registration exports that registration tools and installers call.
#include "registration/resources.h"
#include "registration/script.h"
#include "registration/type_library.h"

STDAPI DllRegisterServer() {
    HRESULT result = ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, true);
    if (FAILED(result))
        return result;
    // The class declares no component categories.
    return RegisterModuleTypeLibrary();
}

// Whatever cannot be removed stays; the caller learns nothing of it.
STDAPI DllUnregisterServer() {
    ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, false);
    UnregisterModuleTypeLibrary();
    return S_OK;
}

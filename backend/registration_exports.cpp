// The self-registration exports that registration tools and installers call.
#include "registration_resources.h"
#include "registry_script.h"
#include "type_library_registration.h"

STDAPI DllRegisterServer() {
    HRESULT result = ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, true);
    if (FAILED(result))
        return result;
    return RegisterModuleTypeLibrary();
}

// Whatever cannot be removed stays; the caller learns nothing of it.
STDAPI DllUnregisterServer() {
    ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, false);
    UnregisterModuleTypeLibrary();
    return S_OK;
}

#include "automation/affinity_manager.h"
#include "engine/private_heap.h"
#include "module_state.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        SetThisModule(instance);
        CreatePrivateHeap();
        ::DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // A non-null `reserved` means the process is ending: every other thread is gone, perhaps
        // holding a lock, and other libraries may be detached already. The system reclaims the
        // heap and the objects; releasing them would only call into those libraries.
        if (reserved == nullptr) {
            AffinityManager::ReleaseTypeInformation();
            DestroyPrivateHeap();
        }
        break;
    }
    return TRUE;
}

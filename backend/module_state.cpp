#include "module_state.h"

namespace {
HMODULE module;
LONG lockCount;
} // namespace

void SetThisModule(HMODULE thisModule) {
    module = thisModule;
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

void LockModule() {
    ::InterlockedIncrement(&lockCount);
}
void UnlockModule() {
    ::InterlockedDecrement(&lockCount);
}
LONG ModuleLockCount() {
    return ::InterlockedCompareExchange(&lockCount, 0, 0);
}

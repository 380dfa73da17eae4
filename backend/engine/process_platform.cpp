#include "engine/platform.h"

#include "module_state.h"

#include <psapi.h>

DWORD_PTR AffinityPlatform::ActiveProcessorMask() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwActiveProcessorMask;
}

HANDLE AffinityPlatform::OpenProcess(DWORD access, DWORD processId) {
    return ::OpenProcess(access, FALSE, processId);
}

BOOL AffinityPlatform::GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                              DWORD_PTR* systemMask) {
    return ::GetProcessAffinityMask(process, processMask, systemMask);
}

BOOL AffinityPlatform::SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) {
    return ::SetProcessAffinityMask(process, mask);
}

BOOL AffinityPlatform::CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

BOOL AffinityPlatform::EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
    return ::EnumProcesses(ids, bytes, bytesReturned);
}

BOOL AffinityPlatform::OpenCurrentProcessToken(DWORD access, HANDLE* token) {
    return ::OpenProcessToken(::GetCurrentProcess(), access, token);
}

BOOL AffinityPlatform::LookupPrivilege(const char* name, LUID* luid) {
    return ::LookupPrivilegeValueA(nullptr, name, luid);
}

BOOL AffinityPlatform::AdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* state, DWORD length,
                                             DWORD* lastError) {
    ::SetLastError(ERROR_SUCCESS);
    BOOL ok = ::AdjustTokenPrivileges(token, FALSE, state, length, nullptr, nullptr);
    *lastError = ::GetLastError();
    return ok;
}

void* AffinityPlatform::Allocate(SIZE_T bytes) {
    return PrivateHeapAlloc(bytes);
}

void AffinityPlatform::Free(void* block) {
    PrivateHeapFree(block);
}

#include "engine/process_platform.h"

#include "engine/private_heap.h"

#include <psapi.h>

void ProcessPlatform::QuerySystemInfo(SYSTEM_INFO* info) {
    ::GetSystemInfo(info);
}

BOOL ProcessPlatform::EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
    return ::EnumProcesses(ids, bytes, bytesReturned);
}

HANDLE ProcessPlatform::OpenProcess(DWORD access, DWORD processId) {
    return ::OpenProcess(access, FALSE, processId);
}

BOOL ProcessPlatform::GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                             DWORD_PTR* systemMask) {
    return ::GetProcessAffinityMask(process, processMask, systemMask);
}

BOOL ProcessPlatform::SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) {
    return ::SetProcessAffinityMask(process, mask);
}

BOOL ProcessPlatform::ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError) {
    const BOOL result = ::QueryFullProcessImageNameA(process, 0, path, size);
    *lastError = result ? ERROR_SUCCESS : ::GetLastError();
    return result;
}

BOOL ProcessPlatform::EnumerateProcessModules(HANDLE process, HMODULE* modules, DWORD bytes,
                                              DWORD* bytesNeeded) {
    return ::EnumProcessModules(process, modules, bytes, bytesNeeded);
}

DWORD ProcessPlatform::ModuleFilePath(HANDLE process, HMODULE module, char* path, DWORD size) {
    return ::GetModuleFileNameExA(process, module, path, size);
}

BOOL ProcessPlatform::CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

BOOL ProcessPlatform::OpenCurrentProcessToken(DWORD access, HANDLE* token) {
    return ::OpenProcessToken(::GetCurrentProcess(), access, token);
}

BOOL ProcessPlatform::LookupPrivilege(const char* name, LUID* luid) {
    return ::LookupPrivilegeValueA(nullptr, name, luid);
}

BOOL ProcessPlatform::AdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* state, DWORD length,
                                            DWORD* lastError) {
    ::SetLastError(ERROR_SUCCESS);
    BOOL ok = ::AdjustTokenPrivileges(token, FALSE, state, length, nullptr, nullptr);
    *lastError = ::GetLastError();
    return ok;
}

void* ProcessPlatform::Allocate(SIZE_T bytes) {
    return PrivateHeapAlloc(bytes);
}

void ProcessPlatform::Free(void* block) {
    PrivateHeapFree(block);
}

AffinityMask ProcessPlatform::ActiveProcessorMask() {
    SYSTEM_INFO info{};
    QuerySystemInfo(&info);
    return info.dwActiveProcessorMask;
}

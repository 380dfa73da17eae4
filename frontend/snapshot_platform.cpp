#include "frontend/snapshot_platform.h"

#include <psapi.h>

BOOL SnapshotPlatform::EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
    return ::EnumProcesses(ids, bytes, bytesReturned);
}

HANDLE SnapshotPlatform::OpenProcess(DWORD access, DWORD processId) {
    return ::OpenProcess(access, FALSE, processId);
}

BOOL SnapshotPlatform::EnumerateProcessModules(HANDLE process, HMODULE* modules, DWORD bytes,
                                               DWORD* bytesNeeded) {
    return ::EnumProcessModules(process, modules, bytes, bytesNeeded);
}

DWORD SnapshotPlatform::ModuleFilePath(HANDLE process, HMODULE module, char* path, DWORD size) {
    return ::GetModuleFileNameExA(process, module, path, size);
}

BOOL SnapshotPlatform::ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError) {
    const BOOL result = ::QueryFullProcessImageNameA(process, 0, path, size);
    *lastError = result ? ERROR_SUCCESS : ::GetLastError();
    return result;
}

BOOL SnapshotPlatform::GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                              DWORD_PTR* systemMask) {
    return ::GetProcessAffinityMask(process, processMask, systemMask);
}

BOOL SnapshotPlatform::CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

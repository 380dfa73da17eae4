#include "engine/process_platform.h"

#include "engine/private_heap.h"

#include <psapi.h>

namespace {
// Functions that older systems lack are looked up by name, so that the program still starts
// there: the group calls are Windows 7's, the CPU set masks Windows 11's.
template <typename Function> Function KernelFunction(const char* name) {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(kernel != nullptr ? ::GetProcAddress(kernel, name) : nullptr));
}

using GroupInformationFunction = BOOL(WINAPI*)(LOGICAL_PROCESSOR_RELATIONSHIP,
                                               SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*, DWORD*);
using GroupAffinityFunction = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
using GetCpuSetMasksFunction = BOOL(WINAPI*)(HANDLE, GROUP_AFFINITY*, USHORT, USHORT*);
using SetCpuSetMasksFunction = BOOL(WINAPI*)(HANDLE, GROUP_AFFINITY*, USHORT);
} // namespace

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

BOOL LogicalProcessorInformation(LOGICAL_PROCESSOR_RELATIONSHIP relation,
                                 SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer, DWORD* length,
                                 DWORD* lastError) {
    const auto function =
        KernelFunction<GroupInformationFunction>("GetLogicalProcessorInformationEx");
    if (function == nullptr) {
        *lastError = ERROR_CALL_NOT_IMPLEMENTED;
        return FALSE;
    }
    const BOOL result = function(relation, buffer, length);
    *lastError = result ? ERROR_SUCCESS : ::GetLastError();
    return result;
}

BOOL ProcessPlatform::ProcessorGroupInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer,
                                                DWORD* length, DWORD* lastError) {
    return LogicalProcessorInformation(RelationGroup, buffer, length, lastError);
}

BOOL ProcessPlatform::GetProcessGroupAffinity(HANDLE process, USHORT* count, USHORT* groups,
                                              DWORD* lastError) {
    const auto function = KernelFunction<GroupAffinityFunction>("GetProcessGroupAffinity");
    if (function == nullptr) {
        *lastError = ERROR_CALL_NOT_IMPLEMENTED;
        return FALSE;
    }
    const BOOL result = function(process, count, groups);
    *lastError = result ? ERROR_SUCCESS : ::GetLastError();
    return result;
}

bool ProcessPlatform::HasDefaultCpuSetMasks() {
    return KernelFunction<GetCpuSetMasksFunction>("GetProcessDefaultCpuSetMasks") != nullptr &&
           KernelFunction<SetCpuSetMasksFunction>("SetProcessDefaultCpuSetMasks") != nullptr;
}

BOOL ProcessPlatform::GetProcessDefaultCpuSetMasks(HANDLE process, GROUP_AFFINITY* masks,
                                                   USHORT count, USHORT* required,
                                                   DWORD* lastError) {
    const auto function = KernelFunction<GetCpuSetMasksFunction>("GetProcessDefaultCpuSetMasks");
    if (function == nullptr) {
        *lastError = ERROR_CALL_NOT_IMPLEMENTED;
        return FALSE;
    }
    const BOOL result = function(process, masks, count, required);
    *lastError = result ? ERROR_SUCCESS : ::GetLastError();
    return result;
}

BOOL ProcessPlatform::SetProcessDefaultCpuSetMasks(HANDLE process, const GROUP_AFFINITY* masks,
                                                   USHORT count) {
    const auto function = KernelFunction<SetCpuSetMasksFunction>("SetProcessDefaultCpuSetMasks");
    if (function == nullptr) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    // The system reads the masks and never writes them; its declaration just lacks the const.
    return function(process, const_cast<GROUP_AFFINITY*>(masks), count);
}

BOOL WINAPI ProcessPlatform::ReadGroupsOnce(INIT_ONCE*, void* platform, void**) {
    auto* self = static_cast<ProcessPlatform*>(platform);
    self->groups_ = ReadProcessorGroups(*self);
    return TRUE;
}

// Threads of a script client may ask at once; the first reads, the others wait for it.
const ProcessorGroups& ProcessPlatform::Groups() {
    ::InitOnceExecuteOnce(&groupsRead_, ReadGroupsOnce, this, nullptr);
    return groups_;
}

AffinityMask ProcessPlatform::ActiveProcessorMask() {
    SYSTEM_INFO info{};
    QuerySystemInfo(&info);
    return info.dwActiveProcessorMask;
}

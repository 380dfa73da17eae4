// The system calls through which the program and the library reach processes: the affinity
// engine, the automation object's per-process methods and the program's process snapshot all ask
// the current ProcessPlatform, so tests can stand in for what real processes cannot produce
// (exactly 256 processes, a failing enumeration, a refused privilege, a process that opens but
// has no module list, an image path longer than MAX_PATH, a machine of one processor, machines of
// several processor groups, Windows 11's CPU sets).
#pragma once

#include "common/affinity_mask.h"
#include "common/platform_handle.h"
#include "common/platform_seam.h"
#include "engine/processor_groups.h"

#include <windows.h>

#include <vector>

// The right to change a process's CPU sets; MinGW's headers predate it.
constexpr DWORD kProcessSetLimitedInformation = 0x2000;

class ProcessPlatform {
  public:
    virtual ~ProcessPlatform() = default;

    // The machine's processors: their count and the mask of those present.
    virtual void QuerySystemInfo(SYSTEM_INFO* info);
    virtual BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
    virtual HANDLE OpenProcess(DWORD access, DWORD processId);
    virtual BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                        DWORD_PTR* systemMask);
    virtual BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask);
    // QueryFullProcessImageNameA in the Win32 path format: on entry *size is the room of path in
    // characters, on success the length written. Returns the call's result and the thread's last
    // error right after it.
    virtual BOOL ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError);
    virtual BOOL EnumerateProcessModules(HANDLE process, HMODULE* modules, DWORD bytes,
                                         DWORD* bytesNeeded);
    virtual DWORD ModuleFilePath(HANDLE process, HMODULE module, char* path, DWORD size);
    virtual BOOL CloseHandle(HANDLE handle);
    virtual BOOL OpenCurrentProcessToken(DWORD access, HANDLE* token);
    virtual BOOL LookupPrivilege(const char* name, LUID* luid);
    // Returns the call's result and the thread's last error right after it.
    virtual BOOL AdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* state, DWORD length,
                                       DWORD* lastError);
    // Blocks of the private heap (engine/private_heap.h).
    virtual void* Allocate(SIZE_T bytes);
    virtual void Free(void* block);

    // LogicalProcessorInformation (below) with RelationGroup.
    virtual BOOL ProcessorGroupInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer,
                                           DWORD* length, DWORD* lastError);
    // GetProcessGroupAffinity (a handle for limited query), looked up at run time: on entry *count
    // is the room of groups; on success the groups the process's threads are assigned to, on
    // ERROR_INSUFFICIENT_BUFFER the count needed.
    virtual BOOL GetProcessGroupAffinity(HANDLE process, USHORT* count, USHORT* groups,
                                         DWORD* lastError);
    // Whether the system has Windows 11's process default CPU set masks: both calls below are
    // made only where this is true.
    virtual bool HasDefaultCpuSetMasks();
    // GetProcessDefaultCpuSetMasks (a handle for limited query): on success *required masks were
    // written, 0 for a process without default CPU sets; on ERROR_INSUFFICIENT_BUFFER *required is
    // the count needed.
    virtual BOOL GetProcessDefaultCpuSetMasks(HANDLE process, GROUP_AFFINITY* masks, USHORT count,
                                              USHORT* required, DWORD* lastError);
    // SetProcessDefaultCpuSetMasks (a handle with kProcessSetLimitedInformation); no masks clear
    // the process's default CPU sets.
    virtual BOOL SetProcessDefaultCpuSetMasks(HANDLE process, const GROUP_AFFINITY* masks,
                                              USHORT count);

    // The mask of the processors present, from QuerySystemInfo.
    AffinityMask ActiveProcessorMask();
    // The machine's processor groups, read once for the life of this platform: the groups a
    // machine started with stay while it runs, and on one group every operation then makes
    // exactly the calls it made before groups were known.
    const ProcessorGroups& Groups();

  private:
    static BOOL WINAPI ReadGroupsOnce(INIT_ONCE* once, void* platform, void** context);

    INIT_ONCE groupsRead_ = INIT_ONCE_STATIC_INIT;
    ProcessorGroups groups_;
};

// GetLogicalProcessorInformationEx, looked up at run time: on entry *length is the room of buffer
// in bytes; on success the bytes written, on ERROR_INSUFFICIENT_BUFFER the bytes needed. Where the
// function is missing: FALSE with ERROR_CALL_NOT_IMPLEMENTED. The function's one caller, for the
// machine's groups (ProcessorGroupInformation) and for the processor dialog's topology.
BOOL LogicalProcessorInformation(LOGICAL_PROCESSOR_RELATIONSHIP relation,
                                 SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer, DWORD* length,
                                 DWORD* lastError);

// The whole answer of LogicalProcessorInformation's buffer protocol, asked through
// `ask(buffer, &length, &lastError)` again while the system wants more room (processors may come
// online between two calls), a few times at most; empty when the system cannot say.
template <typename Ask> std::vector<BYTE> ReadLogicalProcessorRecords(Ask ask) {
    constexpr int kReadAttempts = 4;
    DWORD length = 0;
    std::vector<BYTE> buffer;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        buffer.resize(length);
        auto* records =
            length != 0 ? reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data())
                        : nullptr;
        DWORD lastError = ERROR_SUCCESS;
        if (ask(records, &length, &lastError)) {
            buffer.resize(length < buffer.size() ? length : buffer.size());
            return buffer;
        }
        if (lastError != ERROR_INSUFFICIENT_BUFFER || length <= buffer.size())
            break;
    }
    return {};
}

inline ProcessPlatform& CurrentProcessPlatform() {
    return PlatformSeam<ProcessPlatform>::Current();
}

// Puts a stand-in platform in place for the lifetime of the object.
using ScopedProcessPlatform = PlatformSeam<ProcessPlatform>::Scoped;

// A process or token handle closed through the platform that opened it.
using ProcessHandle = PlatformHandle<ProcessPlatform>;

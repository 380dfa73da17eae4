// Machines of several processor groups, which Wine cannot be: a fake ProcessPlatform whose every
// rule follows a line of the system's documentation (quoted at the rule), and the table of
// machines and process kinds that the engine's and the list's tests share.
#pragma once

#include "engine/process_platform.h"

#include <map>
#include <string>
#include <vector>

// Every call that reaches a platform, as "function" or "function detail" per process (0 for the
// machine's own calls), in order.
class CallLog {
  public:
    void Add(DWORD processId, const std::string& call) { calls_.push_back({processId, call}); }
    void Clear() { calls_.clear(); }
    // The calls for one process, joined by "; ".
    std::string Of(DWORD processId) const;
    // How many calls of the process start with `function`.
    int Count(DWORD processId, const std::string& function) const;

  private:
    std::vector<std::pair<DWORD, std::string>> calls_;
};

// "0x" and the value in lowercase hexadecimal, as the log writes masks.
std::string HexText(unsigned long long value);

// The rights of an OpenProcess as the log writes them: "query", "set", "set-limited", ...
std::string RightsText(DWORD access);

// "none" for no masks, else "g:0x..." for each, in the order given.
std::string CpuSetMasksText(const GROUP_AFFINITY* masks, USHORT count);

struct FakeGroupProcess {
    DWORD pid = 0;
    std::vector<USHORT> groups; // the groups its threads are assigned to, sorted
    int primary = 0;            // the group its mask calls act on
    DWORD_PTR mask = 0;         // 0: it placed its threads in several groups itself
    ProcessorSet cpuSets;       // its default CPU sets (Windows 11)
    bool opens = true;          // false: protected, or of another user, as OpenProcess says
};

struct MachineShape {
    const char* name;
    bool windows11;
    int groups;
    int processorsPerGroup;
};

class FakeGroupMachine : public ProcessPlatform {
  public:
    explicit FakeGroupMachine(const MachineShape& shape);
    ~FakeGroupMachine() override;

    MachineShape shape;
    std::map<DWORD, FakeGroupProcess> processes;
    CallLog log;
    // What a faulty system might write into the group record: added to its Size and to its
    // ActiveGroupCount; with groupQueryMissing the call fails as where the function is missing.
    int recordSizeError = 0;
    int activeGroupCountError = 0;
    bool groupQueryMissing = false;
    // GetProcessGroupAffinity answers this many calls with "one more group needed", as when the
    // result changes between calls; -1 answers every call so.
    int groupAffinityChanges = 0;
    // Windows 11 functions asked of a Windows 10 machine; must stay 0.
    int windows11CallsOnWindows10 = 0;
    int openHandles = 0;

    DWORD_PTR GroupMask() const;
    void Add(const FakeGroupProcess& process) { processes[process.pid] = process; }

    void QuerySystemInfo(SYSTEM_INFO* info) override;
    BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) override;
    HANDLE OpenProcess(DWORD access, DWORD processId) override;
    BOOL CloseHandle(HANDLE handle) override;
    BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                DWORD_PTR* systemMask) override;
    BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) override;
    BOOL ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError) override;
    BOOL ProcessorGroupInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer, DWORD* length,
                                   DWORD* lastError) override;
    BOOL GetProcessGroupAffinity(HANDLE process, USHORT* count, USHORT* groups,
                                 DWORD* lastError) override;
    bool HasDefaultCpuSetMasks() override { return shape.windows11; }
    BOOL GetProcessDefaultCpuSetMasks(HANDLE process, GROUP_AFFINITY* masks, USHORT count,
                                      USHORT* required, DWORD* lastError) override;
    BOOL SetProcessDefaultCpuSetMasks(HANDLE process, const GROUP_AFFINITY* masks,
                                      USHORT count) override;

  private:
    struct Opened {
        DWORD pid;
        DWORD access;
    };
    // The process behind a handle opened with one of `rights`, or null (access denied).
    FakeGroupProcess* Holding(HANDLE handle, DWORD rights, const char* call);

    std::map<HANDLE, Opened> handles_;
    ULONG_PTR nextHandle_ = 0x7E000000;
};

// One process of each kind on each machine, with what the list writes for it and the calls each
// operation makes for it after the first reading of the machine's groups. Calls are those of the
// process alone, joined by "; ". The processors of Move and Isolate are kMovedOnto.
struct ProcessKindCase {
    const MachineShape* machine;
    const char* kind;
    FakeGroupProcess process;
    std::string listText; // empty: not listed
    std::string reset;
    std::string moveOnto;     // Move, and the second step of Isolate for a listed process
    std::string isolateOther; // the first step of Isolate, for every process
    std::string refusal;      // what Move's refusals count for it: "", "group N" or "itself"
};

// Processors 8-15 of group 1: numbers 72-79 on two groups of 64, 56-63 on two of 48.
extern const ProcessorSet kMovedOnto;
extern const MachineShape kWindows11TwoGroupsOf64;
extern const MachineShape kWindows10TwoGroupsOf48;
const std::vector<ProcessKindCase>& ProcessKindCases();

// Machines of two processor groups, which Wine cannot be, over the process seam; each rule of the
// fake cites the documentation it follows. Without a shape it is Wine's own machine, every call
// passed on, so that both give logs of one form.
#pragma once

#include "engine/process_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// The value in lowercase hexadecimal, without a prefix.
std::string HexText(unsigned long long value);
// "group:mask" for each group that holds processors, "0:ff 1:ff00"; "none" for the empty set.
std::string SetText(const ProcessorSet& set);

struct FakeProcess {
    DWORD pid;
    std::vector<USHORT> groups; // where its threads are, sorted; none: it does not open
    DWORD_PTR mask;             // of its first (primary) group; 0: it placed its threads itself
    ProcessorSet cpuSets;       // its default CPU sets (Windows 11)
};

struct MachineShape {
    const char* name;
    bool windows11;
    int processorsPerGroup;
};

// Every call is logged as text per process (0 for the machine's own), in order. A handle's calls
// follow the rights it was opened with, in brackets: "query[GetMask GetGroups]"; "query refused"
// when it did not open. Rights: query (PROCESS_QUERY_LIMITED_INFORMATION), set
// (PROCESS_SET_INFORMATION), limited (PROCESS_SET_LIMITED_INFORMATION). Calls: GetMask, SetMask
// group:mask (Get/SetProcessAffinityMask), GetGroups (GetProcessGroupAffinity), GetCpuSets,
// SetCpuSets sets (Get/SetProcessDefaultCpuSetMasks); the machine's SystemInfo, EnumProcesses and
// GroupInfo (GetLogicalProcessorInformationEx). Its destructor checks that no handle is left open.
class GroupMachine : public ProcessPlatform {
  public:
    explicit GroupMachine(const MachineShape* shape) : shape_(shape) {}
    ~GroupMachine() override { EXPECT_EQ(0u, handles_.size()) << "handles left open"; }

    std::map<DWORD, FakeProcess> processes;
    std::map<DWORD, std::string> log;

    // The caller's group only (GetSystemInfo; "Processor Groups").
    void QuerySystemInfo(SYSTEM_INFO* info) override {
        Log(0, "SystemInfo");
        if (shape_ == nullptr)
            return ProcessPlatform::QuerySystemInfo(info);
        info->dwActiveProcessorMask = GroupMask();
        info->dwNumberOfProcessors = shape_->processorsPerGroup;
    }
    BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) override {
        Log(0, "EnumProcesses");
        if (shape_ == nullptr)
            return ProcessPlatform::EnumerateProcesses(ids, bytes, bytesReturned);
        DWORD count = 0;
        for (auto it = processes.begin(); it != processes.end() && count < bytes / 4; ++it)
            ids[count++] = it->first;
        *bytesReturned = count * sizeof(DWORD);
        return TRUE;
    }
    HANDLE OpenProcess(DWORD access, DWORD processId) override {
        HANDLE handle = nullptr;
        if (shape_ == nullptr)
            handle = ProcessPlatform::OpenProcess(access, processId);
        else if (processes.count(processId) != 0 && !processes[processId].groups.empty())
            handle = reinterpret_cast<HANDLE>(nextHandle_ += 4);
        const std::string rights = access == PROCESS_QUERY_LIMITED_INFORMATION ? "query"
                                   : access == PROCESS_SET_INFORMATION         ? "set"
                                   : access == kProcessSetLimitedInformation   ? "limited"
                                                                               : HexText(access);
        Log(processId, rights + (handle != nullptr ? "[" : " refused"));
        if (handle != nullptr)
            handles_[handle] = processId;
        return handle;
    }
    BOOL CloseHandle(HANDLE handle) override {
        const bool known = handles_.count(handle) != 0;
        if (known)
            log[handles_[handle]] += "]";
        handles_.erase(handle);
        return shape_ == nullptr ? ProcessPlatform::CloseHandle(handle) : known;
    }
    // Both masks 0 for a process with threads in several groups, on Windows 11 when it placed them
    // itself (GetProcessAffinityMask, Remarks).
    BOOL GetProcessAffinityMask(HANDLE handle, DWORD_PTR* processMask,
                                DWORD_PTR* systemMask) override {
        FakeProcess* process = Holding(handle, "GetMask");
        if (process == nullptr)
            return ProcessPlatform::GetProcessAffinityMask(handle, processMask, systemMask);
        *processMask = process->mask;
        *systemMask = process->mask == 0 ? 0 : GroupMask();
        return TRUE;
    }
    // Refused for such a process and for processors the group lacks; otherwise it confines the
    // process to its primary group (SetProcessAffinityMask, Remarks).
    BOOL SetProcessAffinityMask(HANDLE handle, DWORD_PTR mask) override {
        const int group = shape_ != nullptr ? processes[Pid(handle)].groups[0] : 0;
        FakeProcess* process =
            Holding(handle, "SetMask " + std::to_string(group) + ":" + HexText(mask));
        if (process == nullptr)
            return ProcessPlatform::SetProcessAffinityMask(handle, mask);
        if (process->mask == 0 || mask == 0 || (mask & ~GroupMask()) != 0)
            return FALSE;
        process->mask = mask;
        process->groups = {static_cast<USHORT>(group)};
        return TRUE;
    }
    // Only the list asks, and only of a fake machine.
    BOOL ImageFilePath(HANDLE handle, char* path, DWORD* size, DWORD* lastError) override {
        *size = static_cast<DWORD>(std::snprintf(path, *size, "C:\\kind%lu.exe", Pid(handle)));
        *lastError = ERROR_SUCCESS;
        return TRUE;
    }
    // GROUP_RELATIONSHIP, with the function's buffer protocol (GetLogicalProcessorInformationEx).
    BOOL ProcessorGroupInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer, DWORD* length,
                                   DWORD* lastError) override {
        Log(0, "GroupInfo");
        if (shape_ == nullptr)
            return ProcessPlatform::ProcessorGroupInformation(buffer, length, lastError);
        const DWORD needed = offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Group.GroupInfo) +
                             2 * sizeof(PROCESSOR_GROUP_INFO);
        const bool fits = buffer != nullptr && *length >= needed;
        *length = needed;
        *lastError = fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER;
        if (!fits)
            return FALSE;
        std::memset(buffer, 0, needed);
        buffer->Relationship = RelationGroup;
        buffer->Size = needed;
        buffer->Group.MaximumGroupCount = buffer->Group.ActiveGroupCount = 2;
        for (int g = 0; g < 2; ++g) {
            PROCESSOR_GROUP_INFO& info = buffer->Group.GroupInfo[g];
            info.MaximumProcessorCount = info.ActiveProcessorCount =
                static_cast<BYTE>(shape_->processorsPerGroup);
            info.ActiveProcessorMask = GroupMask();
        }
        return TRUE;
    }
    // Every group one of its threads is in; too small a count gets ERROR_INSUFFICIENT_BUFFER and
    // the count needed (GetProcessGroupAffinity).
    BOOL GetProcessGroupAffinity(HANDLE handle, USHORT* count, USHORT* groups,
                                 DWORD* lastError) override {
        FakeProcess* process = Holding(handle, "GetGroups");
        if (process == nullptr)
            return ProcessPlatform::GetProcessGroupAffinity(handle, count, groups, lastError);
        const bool fits = *count >= process->groups.size();
        *lastError = fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER;
        if (fits)
            std::copy(process->groups.begin(), process->groups.end(), groups);
        *count = static_cast<USHORT>(process->groups.size());
        return fits;
    }
    bool HasDefaultCpuSetMasks() override {
        return shape_ == nullptr ? ProcessPlatform::HasDefaultCpuSetMasks() : shape_->windows11;
    }
    // Windows 11 only; too small a count gets ERROR_INSUFFICIENT_BUFFER and the count needed
    // (GetProcessDefaultCpuSetMasks).
    BOOL GetProcessDefaultCpuSetMasks(HANDLE handle, GROUP_AFFINITY* masks, USHORT count,
                                      USHORT* required, DWORD* lastError) override {
        FakeProcess* process = Holding(handle, "GetCpuSets");
        if (process == nullptr)
            return ProcessPlatform::GetProcessDefaultCpuSetMasks(handle, masks, count, required,
                                                                 lastError);
        *required = static_cast<USHORT>(process->cpuSets.GroupCount());
        *lastError = count < *required ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS;
        for (int g = 0, written = 0; g < 2 && count >= *required; ++g)
            if (process->cpuSets.groups[g] != 0)
                masks[written++] = {process->cpuSets.groups[g], static_cast<WORD>(g), {}};
        return OnWindows11() && count >= *required;
    }
    // Windows 11 only; NULL, 0 clears them (SetProcessDefaultCpuSetMasks).
    BOOL SetProcessDefaultCpuSetMasks(HANDLE handle, const GROUP_AFFINITY* masks,
                                      USHORT count) override {
        ProcessorSet set;
        for (USHORT i = 0; i < count; ++i)
            set.groups[masks[i].Group] |= masks[i].Mask;
        FakeProcess* process = Holding(handle, "SetCpuSets " + SetText(set));
        if (process == nullptr)
            return ProcessPlatform::SetProcessDefaultCpuSetMasks(handle, masks, count);
        process->cpuSets = set;
        return OnWindows11();
    }

  private:
    DWORD Pid(HANDLE handle) { return handles_[handle]; }
    void Log(DWORD processId, const std::string& call) {
        std::string& calls = log[processId];
        calls += (calls.empty() || calls.back() == '[' ? "" : " ") + call;
    }
    // Logs the call of the process behind the handle; that process on a fake machine.
    FakeProcess* Holding(HANDLE handle, const std::string& call) {
        Log(Pid(handle), call);
        return shape_ != nullptr ? &processes[Pid(handle)] : nullptr;
    }
    bool OnWindows11() const {
        EXPECT_TRUE(shape_->windows11) << "a Windows 11 function called on Windows 10";
        return shape_->windows11;
    }
    DWORD_PTR GroupMask() const {
        return shape_->processorsPerGroup == 64 ? ~DWORD_PTR{0}
                                                : (DWORD_PTR{1} << shape_->processorsPerGroup) - 1;
    }

    const MachineShape* shape_;
    std::map<HANDLE, DWORD> handles_; // the process of each open handle
    ULONG_PTR nextHandle_ = 0x7E000000;
};

// One process of each kind on each machine: what a script reads of it (GetProcessMask as
// whole-machine numbers, "-" for false), and its log: the read that each operation starts with,
// then what Reset, Move onto kMovedOnto and, for the others, Isolate on it give it; and what a Move
// of it counts as refused.
struct KindRow {
    const MachineShape* machine;
    FakeProcess process;
    std::string script, read, reset, move, isolate, refusal;
};

// Processors 8-15 of group 1: numbers 72-79 on two groups of 64, 56-63 on two of 48.
extern const ProcessorSet kMovedOnto;
extern const MachineShape kWindows11, kWindows10;
const std::vector<KindRow>& KindRows();

// Adds the processes of the shape's rows to the machine, reads its groups and clears its log, so
// that the log holds only what comes next; the rows.
std::vector<KindRow> Populate(GroupMachine& machine, const MachineShape* shape);

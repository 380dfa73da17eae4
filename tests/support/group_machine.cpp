#include "group_machine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

std::string HexText(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llx", value);
    return text;
}

namespace {
DWORD_PTR LowBits(int count) {
    return count >= kMaskProcessors ? ~DWORD_PTR{0} : (DWORD_PTR{1} << count) - 1;
}
} // namespace

std::string CallLog::Of(DWORD processId) const {
    std::string joined;
    for (const auto& [pid, call] : calls_) {
        if (pid != processId)
            continue;
        if (!joined.empty())
            joined += "; ";
        joined += call;
    }
    return joined;
}

int CallLog::Count(DWORD processId, const std::string& function) const {
    int count = 0;
    for (const auto& [pid, call] : calls_)
        count += pid == processId && call.rfind(function, 0) == 0;
    return count;
}

std::string RightsText(DWORD access) {
    switch (access) {
    case PROCESS_QUERY_LIMITED_INFORMATION:
        return "query";
    case PROCESS_QUERY_INFORMATION:
        return "query-information";
    case PROCESS_SET_INFORMATION:
        return "set";
    case kProcessSetLimitedInformation:
        return "set-limited";
    default:
        return HexText(access);
    }
}

std::string CpuSetMasksText(const GROUP_AFFINITY* masks, USHORT count) {
    if (masks == nullptr || count == 0)
        return "none";
    std::string text;
    for (USHORT i = 0; i < count; ++i)
        text += (i == 0 ? "" : " ") + std::to_string(masks[i].Group) + ":" + HexText(masks[i].Mask);
    return text;
}

FakeGroupMachine::FakeGroupMachine(const MachineShape& machine) : shape(machine) {}

FakeGroupMachine::~FakeGroupMachine() = default;

DWORD_PTR FakeGroupMachine::GroupMask() const {
    return LowBits(shape.processorsPerGroup);
}

// "GetSystemInfo describes the caller's group only": the test program's, group 0.
void FakeGroupMachine::QuerySystemInfo(SYSTEM_INFO* info) {
    log.Add(0, "GetSystemInfo");
    info->dwActiveProcessorMask = GroupMask();
    info->dwNumberOfProcessors = shape.processorsPerGroup;
}

BOOL FakeGroupMachine::EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
    log.Add(0, "EnumProcesses");
    DWORD count = 0;
    for (const auto& [pid, process] : processes) {
        if (count == bytes / sizeof(DWORD))
            break;
        ids[count++] = pid;
    }
    *bytesReturned = count * sizeof(DWORD);
    return TRUE;
}

HANDLE FakeGroupMachine::OpenProcess(DWORD access, DWORD processId) {
    log.Add(processId, "open " + RightsText(access));
    if (processes.count(processId) == 0 || !processes[processId].opens)
        return nullptr;
    const HANDLE handle = reinterpret_cast<HANDLE>(nextHandle_ += 4);
    handles_[handle] = {processId, access};
    ++openHandles;
    return handle;
}

BOOL FakeGroupMachine::CloseHandle(HANDLE handle) {
    const auto found = handles_.find(handle);
    if (found == handles_.end())
        return FALSE;
    log.Add(found->second.pid, "close");
    handles_.erase(found);
    --openHandles;
    return TRUE;
}

FakeGroupProcess* FakeGroupMachine::Holding(HANDLE handle, DWORD rights, const char* call) {
    const auto found = handles_.find(handle);
    if (found == handles_.end())
        return nullptr;
    log.Add(found->second.pid, call);
    if ((found->second.access & rights) == 0) {
        log.Add(found->second.pid, "access denied");
        ::SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return &processes[found->second.pid];
}

// "GetProcessAffinityMask: masks over the process's (primary) group. Returns 0 for both masks when
// the process has threads in several groups (Windows 10), or on Windows 11 when it explicitly set
// a thread's affinity outside its primary group."
BOOL FakeGroupMachine::GetProcessAffinityMask(HANDLE handle, DWORD_PTR* processMask,
                                              DWORD_PTR* systemMask) {
    FakeGroupProcess* process =
        Holding(handle, PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION,
                "GetProcessAffinityMask");
    if (process == nullptr)
        return FALSE;
    *processMask = process->mask;
    *systemMask = process->mask == 0 ? 0 : GroupMask();
    return TRUE;
}

// "SetProcessAffinityMask fails with ERROR_INVALID_PARAMETER for a process with threads in several
// groups (Windows 10) or in that explicit state (Windows 11), and for a mask naming processors that
// are not configured in the group. Otherwise on Windows 11 it succeeds with a one-group mask: it
// confines the process to its primary group."
BOOL FakeGroupMachine::SetProcessAffinityMask(HANDLE handle, DWORD_PTR mask) {
    const auto found = handles_.find(handle);
    const int group = found != handles_.end() ? processes[found->second.pid].primary : -1;
    FakeGroupProcess* process =
        Holding(handle, PROCESS_SET_INFORMATION,
                ("SetProcessAffinityMask g" + std::to_string(group) + " " + HexText(mask)).c_str());
    if (process == nullptr)
        return FALSE;
    if (process->mask == 0 || mask == 0 || (mask & ~GroupMask()) != 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    process->mask = mask;
    process->groups = {static_cast<USHORT>(process->primary)};
    return TRUE;
}

BOOL FakeGroupMachine::ImageFilePath(HANDLE handle, char* path, DWORD* size, DWORD* lastError) {
    const auto found = handles_.find(handle);
    if (found == handles_.end()) {
        *lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    const std::string image = "C:\\fake\\kind" + std::to_string(found->second.pid) + ".exe";
    if (image.size() >= *size) {
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    std::memcpy(path, image.c_str(), image.size() + 1);
    *size = static_cast<DWORD>(image.size());
    *lastError = ERROR_SUCCESS;
    return TRUE;
}

// "GetLogicalProcessorInformationEx(RelationGroup) gives GROUP_RELATIONSHIP: MaximumGroupCount,
// ActiveGroupCount, and per group MaximumProcessorCount, ActiveProcessorCount,
// ActiveProcessorMask", with the function's buffer protocol.
BOOL FakeGroupMachine::ProcessorGroupInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer,
                                                 DWORD* length, DWORD* lastError) {
    log.Add(0, "GetLogicalProcessorInformationEx");
    if (groupQueryMissing) {
        *lastError = ERROR_CALL_NOT_IMPLEMENTED;
        return FALSE;
    }
    const DWORD needed = static_cast<DWORD>(
        offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Group) +
        offsetof(GROUP_RELATIONSHIP, GroupInfo) + shape.groups * sizeof(PROCESSOR_GROUP_INFO));
    if (buffer == nullptr || *length < needed) {
        *length = needed;
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    std::memset(buffer, 0, needed);
    buffer->Relationship = RelationGroup;
    buffer->Size = needed + recordSizeError;
    buffer->Group.MaximumGroupCount = static_cast<WORD>(shape.groups);
    buffer->Group.ActiveGroupCount = static_cast<WORD>(shape.groups + activeGroupCountError);
    for (int g = 0; g < shape.groups; ++g) {
        PROCESSOR_GROUP_INFO& info = buffer->Group.GroupInfo[g];
        info.MaximumProcessorCount = static_cast<BYTE>(shape.processorsPerGroup);
        info.ActiveProcessorCount = static_cast<BYTE>(shape.processorsPerGroup);
        info.ActiveProcessorMask = GroupMask();
    }
    *length = needed;
    *lastError = ERROR_SUCCESS;
    return TRUE;
}

// "GetProcessGroupAffinity: with a too-small count it fails with ERROR_INSUFFICIENT_BUFFER and
// sets the count it needs. It lists every group one of the process's threads is assigned to."
BOOL FakeGroupMachine::GetProcessGroupAffinity(HANDLE handle, USHORT* count, USHORT* groups,
                                               DWORD* lastError) {
    FakeGroupProcess* process =
        Holding(handle, PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION,
                "GetProcessGroupAffinity");
    if (process == nullptr) {
        *lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    const USHORT needed = static_cast<USHORT>(process->groups.size());
    // "The result can change between calls, so retry."
    if (groupAffinityChanges != 0) {
        groupAffinityChanges -= groupAffinityChanges > 0;
        *count = static_cast<USHORT>(*count + 1);
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    if (*count < needed) {
        *count = needed;
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    std::copy(process->groups.begin(), process->groups.end(), groups);
    *count = needed;
    *lastError = ERROR_SUCCESS;
    return TRUE;
}

// "GetProcessDefaultCpuSetMasks: Windows 11 and Server 2022 only; get PROCESS_QUERY_LIMITED_
// INFORMATION; get fails with ERROR_INSUFFICIENT_BUFFER and gives the count needed."
BOOL FakeGroupMachine::GetProcessDefaultCpuSetMasks(HANDLE handle, GROUP_AFFINITY* masks,
                                                    USHORT count, USHORT* required,
                                                    DWORD* lastError) {
    if (!shape.windows11) {
        ++windows11CallsOnWindows10;
        *lastError = ERROR_CALL_NOT_IMPLEMENTED;
        return FALSE;
    }
    FakeGroupProcess* process =
        Holding(handle, PROCESS_QUERY_LIMITED_INFORMATION, "GetProcessDefaultCpuSetMasks");
    if (process == nullptr) {
        *lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    USHORT needed = 0;
    for (AffinityMask mask : process->cpuSets.groups)
        needed += mask != 0;
    *required = needed;
    if (count < needed) {
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    USHORT written = 0;
    for (int g = 0; g < kMaxProcessorGroups; ++g)
        if (process->cpuSets.groups[g] != 0)
            masks[written++] = {process->cpuSets.groups[g], static_cast<WORD>(g), {}};
    *lastError = ERROR_SUCCESS;
    return TRUE;
}

// "SetProcessDefaultCpuSetMasks: set needs PROCESS_SET_LIMITED_INFORMATION; NULL, 0 clears."
BOOL FakeGroupMachine::SetProcessDefaultCpuSetMasks(HANDLE handle, const GROUP_AFFINITY* masks,
                                                    USHORT count) {
    if (!shape.windows11) {
        ++windows11CallsOnWindows10;
        return FALSE;
    }
    FakeGroupProcess* process =
        Holding(handle, kProcessSetLimitedInformation,
                ("SetProcessDefaultCpuSetMasks " + CpuSetMasksText(masks, count)).c_str());
    if (process == nullptr)
        return FALSE;
    process->cpuSets = ProcessorSet{};
    for (USHORT i = 0; i < count; ++i)
        process->cpuSets.groups[masks[i].Group] |= masks[i].Mask;
    return TRUE;
}

const ProcessorSet kMovedOnto = ProcessorSet::InGroup(1, 0xFF00);
const MachineShape kWindows11TwoGroupsOf64 = {"Windows 11, two groups of 64", true, 2, 64};
const MachineShape kWindows10TwoGroupsOf48 = {"Windows 10, two groups of 48", false, 2, 48};

namespace {
// How each kind is read: a one-group process tells its groups, a spanning one its CPU sets too,
// and one whose mask reads 0 nothing more.
const std::string kReadOne = "open query; GetProcessAffinityMask; GetProcessGroupAffinity; close";
const std::string kReadSpanning = "open query; GetProcessAffinityMask; GetProcessGroupAffinity; "
                                  "GetProcessDefaultCpuSetMasks; close";
const std::string kReadItself = "open query; GetProcessAffinityMask; close";
const std::string kClearCpuSets = "; open set-limited; SetProcessDefaultCpuSetMasks none; close";

std::string SetsMask(const std::string& groupAndMask) {
    return "; open set; SetProcessAffinityMask " + groupAndMask + "; close";
}
std::string SetsCpuSets(const std::string& masks) {
    return "; open set-limited; SetProcessDefaultCpuSetMasks " + masks + "; close";
}

constexpr DWORD_PTR kAll64 = ~DWORD_PTR{0};
const DWORD_PTR kAll48 = LowBits(48);

// A process whose threads are in both groups of its own doing: its mask reads 0.
FakeGroupProcess InBothGroupsByItself(DWORD pid) {
    FakeGroupProcess process;
    process.pid = pid;
    process.groups = {0, 1};
    return process;
}
FakeGroupProcess Unopenable(DWORD pid) {
    FakeGroupProcess process;
    process.pid = pid;
    process.opens = false;
    return process;
}
} // namespace

const std::vector<ProcessKindCase>& ProcessKindCases() {
    const MachineShape* w11 = &kWindows11TwoGroupsOf64;
    const MachineShape* w10 = &kWindows10TwoGroupsOf48;
    const std::string allBut72To79 = "0:0xffffffffffffffff 1:0xffffffffffff00ff";
    static const std::vector<ProcessKindCase> cases = {
        {w11,
         "in group 0",
         {10, {0}, 0, kAll64, {}},
         "0-63",
         kReadOne + SetsMask("g0 0xffffffffffffffff") + kClearCpuSets,
         kReadOne,
         kReadOne + SetsMask("g0 0xffffffffffffffff"),
         "group 0"},
        {w11,
         "in group 1",
         {11, {1}, 1, kAll64, {}},
         "64-127",
         kReadOne + SetsMask("g1 0xffffffffffffffff") + kClearCpuSets,
         kReadOne + SetsMask("g1 0xff00"),
         kReadOne + SetsMask("g1 0xffffffffffff00ff"),
         ""},
        {w11,
         "spanning both groups",
         {12, {0, 1}, 0, kAll64, {}},
         "0-127",
         kReadSpanning + kClearCpuSets,
         kReadSpanning + SetsCpuSets("1:0xff00"),
         kReadSpanning + SetsCpuSets(allBut72To79),
         ""},
        {w11,
         "spanning, with a default CPU set",
         {13, {0, 1}, 1, kAll64, ProcessorSet::InGroup(0, 0xFF00)},
         "8-15 (CPU set)",
         kReadSpanning + kClearCpuSets,
         kReadSpanning + SetsCpuSets("1:0xff00"),
         kReadSpanning + SetsCpuSets(allBut72To79),
         ""},
        {w11, "threads placed by itself", InBothGroupsByItself(14), "several groups", kReadItself,
         kReadItself, kReadItself, "itself"},
        {w11, "cannot be opened", Unopenable(16), "", "open query", "open query", "open query", ""},
        {w10,
         "in group 0",
         {20, {0}, 0, kAll48, {}},
         "0-47",
         kReadOne + SetsMask("g0 0xffffffffffff"),
         kReadOne,
         kReadOne + SetsMask("g0 0xffffffffffff"),
         "group 0"},
        {w10,
         "in group 1",
         {21, {1}, 1, kAll48, {}},
         "48-95",
         kReadOne + SetsMask("g1 0xffffffffffff"),
         kReadOne + SetsMask("g1 0xff00"),
         kReadOne + SetsMask("g1 0xffffffff00ff"),
         ""},
        // "Windows 10: each process starts in one group"; one with threads in both reads mask 0.
        {w10, "threads in both groups", InBothGroupsByItself(22), "several groups", kReadItself,
         kReadItself, kReadItself, "itself"},
        {w10, "cannot be opened", Unopenable(23), "", "open query", "open query", "open query", ""},
    };
    return cases;
}

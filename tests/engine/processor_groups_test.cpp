// The engine on machines of several processor groups (fake machines that follow the system's
// documentation) and on Wine's one group (the real platform, recorded): the exact calls each kind
// of process gets from Reset, Move and Isolate.
#include "engine/affinity.h"
#include "engine/process_mask.h"
#include "group_machine.h"
#include "helper_processes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <vector>
#include <string>

namespace {

enum class Operation { kReset, kMove, kIsolate };

const char* Name(Operation operation) {
    switch (operation) {
    case Operation::kReset:
        return "Reset";
    case Operation::kMove:
        return "Move";
    case Operation::kIsolate:
        return "Isolate";
    }
    return "?";
}

std::string RefusalText(const GroupRefusals& refusals) {
    std::string text;
    for (int g = 0; g < kMaxProcessorGroups; ++g)
        if (refusals.inOneGroup[g] != 0)
            text += "group " + std::to_string(g) + " x" + std::to_string(refusals.inOneGroup[g]);
    if (refusals.placedThemselves != 0)
        text += "itself x" + std::to_string(refusals.placedThemselves);
    if (refusals.othersLeft != 0)
        text += " others x" + std::to_string(refusals.othersLeft);
    return text;
}

GroupRefusals RunOperation(Operation operation, unsigned long pid, const ProcessorSet& processors) {
    GroupRefusals refusals{};
    switch (operation) {
    case Operation::kReset:
        ResetAllProcesses();
        break;
    case Operation::kMove:
        MoveProcessesOnto(1, &pid, processors, &refusals);
        break;
    case Operation::kIsolate:
        IsolateProcessesOn(1, &pid, processors, &refusals);
        break;
    }
    return refusals;
}

// Where a process may run after the operations: its mask in its one group, or its CPU sets.
ProcessorSet RunsOn(const FakeGroupProcess& process) {
    if (process.groups.size() == 1)
        return ProcessorSet::InGroup(process.groups[0], process.mask);
    return process.cpuSets;
}

// A fresh machine of the case's shape holding every process of that shape, its groups already
// read, so that the log holds only what the operation asks.
class MachineOfCase {
  public:
    explicit MachineOfCase(const MachineShape& shape) : machine(shape), scope_(machine) {
        for (const ProcessKindCase& c : ProcessKindCases())
            if (c.machine == &shape)
                machine.Add(c.process);
        machine.Groups();
        machine.log.Clear();
    }
    ~MachineOfCase() {
        EXPECT_EQ(0, machine.openHandles) << "handles left open";
        EXPECT_EQ(0, machine.windows11CallsOnWindows10) << "a Windows 11 call on Windows 10";
    }

    FakeGroupMachine machine;

  private:
    ScopedProcessPlatform scope_;
};

} // namespace

namespace {

// What one operation asked for each process of `rows`, `listed` being the one it was given:
// every row's calls of that operation, in the log of its own process.
void ExpectEveryRow(Operation operation, const std::vector<ProcessKindCase>& rows, DWORD listed,
                    const CallLog& log) {
    for (const ProcessKindCase& row : rows) {
        const bool isListed = row.process.pid == listed;
        std::string expected;
        if (operation == Operation::kReset)
            expected = row.reset;
        else if (operation == Operation::kMove)
            expected = isListed ? row.moveOnto : "";
        else
            expected = row.isolateOther + (isListed ? "; " + row.moveOnto : "");
        EXPECT_EQ(expected, log.Of(row.process.pid)) << "process " << row.kind;
    }
}

std::vector<ProcessKindCase> RowsOf(const MachineShape& shape) {
    std::vector<ProcessKindCase> rows;
    for (const ProcessKindCase& c : ProcessKindCases())
        if (c.machine == &shape)
            rows.push_back(c);
    return rows;
}

constexpr Operation kOperations[] = {Operation::kReset, Operation::kMove, Operation::kIsolate};

} // namespace

TEST(ProcessorGroupsEngine, EachKindOfProcessGetsExactlyTheCallsOfItsRow) {
    for (const ProcessKindCase& c : ProcessKindCases()) {
        for (Operation operation : kOperations) {
            SCOPED_TRACE(std::string(c.machine->name) + ", " + c.kind + ", " + Name(operation));
            MachineOfCase fake(*c.machine);
            const GroupRefusals refusals = RunOperation(operation, c.process.pid, kMovedOnto);
            ExpectEveryRow(operation, RowsOf(*c.machine), c.process.pid, fake.machine.log);
            EXPECT_EQ(operation == Operation::kMove ? "" : "EnumProcesses", fake.machine.log.Of(0));
            if (operation == Operation::kMove) {
                EXPECT_EQ(c.refusal.empty() ? "" : c.refusal + " x1", RefusalText(refusals));
            }
        }
    }
}

TEST(ProcessorGroupsEngine, ResetNeverGivesASpanningProcessAMask) {
    MachineOfCase fake(kWindows11TwoGroupsOf64);
    EXPECT_TRUE(ResetAllProcesses());
    for (const auto& [pid, process] : fake.machine.processes) {
        if (process.groups.size() > 1) {
            EXPECT_EQ(0, fake.machine.log.Count(pid, "SetProcessAffinityMask"))
                << "process " << pid;
        }
        if (process.mask != 0) {
            EXPECT_TRUE(process.cpuSets.empty()) << "process " << pid;
        }
    }
    EXPECT_EQ(2u, fake.machine.processes[12].groups.size()) << "it still spans both groups";
}

TEST(ProcessorGroupsEngine, IsolateSplitsEveryGroupBetweenTheListedProcessAndTheOthers) {
    for (const MachineShape* shape : {&kWindows11TwoGroupsOf64, &kWindows10TwoGroupsOf48}) {
        SCOPED_TRACE(shape->name);
        MachineOfCase fake(*shape);
        const ProcessorGroups& groups = fake.machine.Groups();
        const ProcessorSet chosen = kMovedOnto;
        unsigned long listed = shape->windows11 ? 12 : 21;
        GroupRefusals refusals{};
        EXPECT_FALSE(IsolateProcessesOn(1, &listed, chosen, &refusals))
            << "the process that placed its threads itself refuses";
        EXPECT_EQ(1u, refusals.othersLeft);
        EXPECT_EQ(chosen, RunsOn(fake.machine.processes[listed]));
        for (const auto& [pid, process] : fake.machine.processes) {
            if (pid == listed || process.mask == 0)
                continue;
            const ProcessorSet others = RunsOn(process);
            EXPECT_TRUE(others.Intersect(chosen).empty()) << "process " << pid;
            const ProcessorSet reach =
                process.groups.size() == 1 ? groups.AllOf(process.groups[0]) : groups.All();
            EXPECT_EQ(reach, others.Union(chosen.Intersect(reach))) << "process " << pid;
        }
    }
}

TEST(ProcessorGroupsEngine, IsolateRefusesProcessorsThatLeaveAGroupEmptyBeforeAnythingChanges) {
    struct Case {
        const char* what;
        ProcessorSet processors;
    };
    const ProcessorGroups groups = ProcessorGroups::FromGroups(
        std::vector<ProcessorGroup>{{0, 64, ~DWORD_PTR{0}}, {64, 64, ~DWORD_PTR{0}}}.data(), 2);
    const Case cases[] = {
        {"no processor", {}},
        {"every processor of group 0", groups.AllOf(0)},
        {"all of group 1 and one of group 0", groups.AllOf(1).Union(ProcessorSet::InGroup(0, 1))},
        {"the whole machine", groups.All()},
        {"a group the machine lacks", ProcessorSet::InGroup(2, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MachineOfCase fake(kWindows11TwoGroupsOf64);
        unsigned long listed = 11;
        EXPECT_FALSE(IsolateProcessesOn(1, &listed, c.processors, nullptr));
        EXPECT_EQ("", fake.machine.log.Of(0));
        EXPECT_EQ("", fake.machine.log.Of(listed));
    }
}

TEST(ProcessorGroupsEngine, AScriptsMaskNamesTheListsNumbersAndFollowsTheSameRows) {
    // Numbers 8-15 lie in group 0 on both machines.
    constexpr AffinityMask kNumbers8To15 = 0xFF00;
    for (const ProcessKindCase& c : ProcessKindCases()) {
        SCOPED_TRACE(std::string(c.machine->name) + ", " + c.kind);
        std::string byMask;
        std::string bySet;
        {
            MachineOfCase fake(*c.machine);
            unsigned long pid = c.process.pid;
            MoveProcesses(1, &pid, kNumbers8To15);
            byMask = fake.machine.log.Of(pid);
        }
        {
            MachineOfCase fake(*c.machine);
            unsigned long pid = c.process.pid;
            MoveProcessesOnto(1, &pid, ProcessorSet::InGroup(0, kNumbers8To15), nullptr);
            bySet = fake.machine.log.Of(pid);
        }
        EXPECT_EQ(bySet, byMask);
    }
}

TEST(ProcessorGroupsEngine, AScriptReadsAProcessInTheListsNumbersWhereTheyFit) {
    struct Case {
        DWORD pid;
        bool fits;
        AffinityMask numbers;
    };
    const Case cases[] = {
        {10, true, ~AffinityMask{0}}, // group 0: 0-63
        {11, false, 0},               // group 1: 64-127
        {12, false, 0},               // both groups
        {13, true, 0xFF00},           // its CPU set, 8-15
        {14, true, 0},                // placed itself: no one mask, as the list's 0
    };
    MachineOfCase fake(kWindows11TwoGroupsOf64);
    for (const Case& c : cases) {
        AffinityMask numbers = 0x5A5A;
        EXPECT_EQ(c.fits, GetProcessMask(c.pid, &numbers)) << "process " << c.pid;
        if (c.fits) {
            EXPECT_EQ(c.numbers, numbers) << "process " << c.pid;
        }
    }
}

namespace {

// The real platform with every call recorded as the fake machines record theirs.
class RecordingPlatform : public ProcessPlatform {
  public:
    CallLog log;

    void QuerySystemInfo(SYSTEM_INFO* info) override {
        log.Add(0, "GetSystemInfo");
        ProcessPlatform::QuerySystemInfo(info);
    }
    BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) override {
        log.Add(0, "EnumProcesses");
        return ProcessPlatform::EnumerateProcesses(ids, bytes, bytesReturned);
    }
    HANDLE OpenProcess(DWORD access, DWORD processId) override {
        log.Add(processId, "open " + RightsText(access));
        const HANDLE handle = ProcessPlatform::OpenProcess(access, processId);
        if (handle != nullptr)
            pids_[handle] = processId;
        return handle;
    }
    BOOL CloseHandle(HANDLE handle) override {
        log.Add(PidOf(handle), "close");
        pids_.erase(handle);
        return ProcessPlatform::CloseHandle(handle);
    }
    BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                DWORD_PTR* systemMask) override {
        log.Add(PidOf(process), "GetProcessAffinityMask");
        return ProcessPlatform::GetProcessAffinityMask(process, processMask, systemMask);
    }
    BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) override {
        log.Add(PidOf(process), "SetProcessAffinityMask g0 " + HexText(mask));
        return ProcessPlatform::SetProcessAffinityMask(process, mask);
    }
    BOOL ProcessorGroupInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer, DWORD* length,
                                   DWORD* lastError) override {
        log.Add(0, "GetLogicalProcessorInformationEx");
        return ProcessPlatform::ProcessorGroupInformation(buffer, length, lastError);
    }
    BOOL GetProcessGroupAffinity(HANDLE process, USHORT* count, USHORT* groups,
                                 DWORD* lastError) override {
        log.Add(PidOf(process), "GetProcessGroupAffinity");
        return ProcessPlatform::GetProcessGroupAffinity(process, count, groups, lastError);
    }
    BOOL GetProcessDefaultCpuSetMasks(HANDLE process, GROUP_AFFINITY* masks, USHORT count,
                                      USHORT* required, DWORD* lastError) override {
        log.Add(PidOf(process), "GetProcessDefaultCpuSetMasks");
        return ProcessPlatform::GetProcessDefaultCpuSetMasks(process, masks, count, required,
                                                             lastError);
    }
    BOOL SetProcessDefaultCpuSetMasks(HANDLE process, const GROUP_AFFINITY* masks,
                                      USHORT count) override {
        log.Add(PidOf(process), "SetProcessDefaultCpuSetMasks " + CpuSetMasksText(masks, count));
        return ProcessPlatform::SetProcessDefaultCpuSetMasks(process, masks, count);
    }

  private:
    DWORD PidOf(HANDLE handle) const {
        const auto found = pids_.find(handle);
        return found != pids_.end() ? found->second : 0xFFFFFFFF;
    }
    std::map<HANDLE, DWORD> pids_;
};

class OneGroupUnderWine : public ::testing::Test {
  protected:
    void SetUp() override {
        all = GenerateAllProcessorsMask();
        ASSERT_GE(all, 3ul) << "these tests need two processors";
        chosen = all & ~(all >> 1); // the highest processor
        helpers = StartHelpers(2);
        recorder.Groups();
        ASSERT_FALSE(recorder.Groups().several()) << "Wine has one processor group";
        recorder.log.Clear();
    }
    void TearDown() override { ::SetProcessAffinityMask(::GetCurrentProcess(), all); }

    static std::string SetsMask(AffinityMask mask) {
        return "open set; SetProcessAffinityMask g0 " + HexText(mask) + "; close";
    }

    AffinityMask all = 0;
    AffinityMask chosen = 0;
    std::vector<HelperProcess> helpers;
    RecordingPlatform recorder;
    ScopedProcessPlatform scope{recorder};
};

} // namespace

// The fake machines' check on Wine's one group, with two real processes of the one kind it has:
// every operation makes exactly the calls it made before groups were known, through the set
// operations the window calls and through the mask functions scripts call.
TEST_F(OneGroupUnderWine, EachOperationMakesTodaysCallsExactly) {
    const MachineShape wine = {"Wine, one group", false, 1, 0};
    std::vector<ProcessKindCase> rows;
    for (const HelperProcess& helper : helpers) {
        ProcessKindCase row;
        row.machine = &wine;
        row.kind = "in the one group";
        row.process.pid = helper.pid();
        row.reset = SetsMask(all);
        row.moveOnto = SetsMask(chosen);
        row.isolateOther = SetsMask(all & ~chosen);
        rows.push_back(row);
    }
    const unsigned long listed = helpers[0].pid();
    for (Operation operation : kOperations) {
        for (bool bySet : {true, false}) {
            SCOPED_TRACE(std::string(Name(operation)) + (bySet ? " by set" : " by mask"));
            recorder.log.Clear();
            unsigned long pid = listed;
            if (bySet) {
                RunOperation(operation, listed, ProcessorSet::InGroup(0, chosen));
            } else if (operation == Operation::kReset) {
                MoveAllProcesses(GenerateAllProcessorsMask());
            } else if (operation == Operation::kMove) {
                MoveProcesses(1, &pid, chosen);
            } else {
                IsolateProcesses(1, &pid, chosen);
            }
            ExpectEveryRow(operation, rows, listed, recorder.log);
            EXPECT_EQ(operation == Operation::kMove ? "" : "GetSystemInfo; EnumProcesses",
                      recorder.log.Of(0));
            ResetAllProcesses();
        }
    }
}

TEST(ProcessorGroupsOfTheMachine, WineAnswersTheGroupQueryWithOneGroupOfItsProcessors) {
    ProcessPlatform real;
    DWORD length = 0;
    DWORD lastError = ERROR_SUCCESS;
    EXPECT_FALSE(real.ProcessorGroupInformation(nullptr, &length, &lastError));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), lastError) << "no fallback taken";
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    const ProcessorGroups groups = ReadProcessorGroups(real);
    ASSERT_EQ(1, groups.count());
    EXPECT_EQ(info.dwActiveProcessorMask, groups.group(0).activeMask);
    EXPECT_EQ(0, groups.group(0).base);
}

TEST(ProcessorGroupsOfTheMachine, AnAnswerThatCannotBeTrustedReadsAsOneGroupOfTheSystemInfo) {
    const int wholeRecord = static_cast<int>(
        offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Group) +
        offsetof(GROUP_RELATIONSHIP, GroupInfo) + 2 * sizeof(PROCESSOR_GROUP_INFO));
    struct Case {
        const char* what;
        bool missing;
        int sizeError;
        int countError;
        int groups; // 1: the fallback, group 0's mask from the system information
    };
    const Case cases[] = {
        {"two groups", false, 0, 0, 2},
        {"the call is missing", true, 0, 0, 1},
        {"a record of size 0", false, -wholeRecord, 0, 1},
        {"a record longer than the answer", false, 64, 0, 1},
        {"more groups than the record holds", false, 0, 1, 1},
        {"no active group", false, 0, -2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeGroupMachine machine(kWindows11TwoGroupsOf64);
        machine.groupQueryMissing = c.missing;
        machine.recordSizeError = c.sizeError;
        machine.activeGroupCountError = c.countError;
        const ProcessorGroups groups = ReadProcessorGroups(machine);
        ASSERT_EQ(c.groups, groups.count());
        EXPECT_EQ(c.groups == 1 ? 0 : 64, groups.group(c.groups - 1).base);
        EXPECT_EQ(~DWORD_PTR{0}, groups.group(0).activeMask);
    }
}
TEST(ProcessorGroupsEngine, GroupsThatChangeWhileTheyAreReadAreAskedAgainAFewTimesAtMost) {
    struct Case {
        int changes;
        bool moved;
        int asked;
    };
    const Case cases[] = {{1, true, 2}, {3, true, 4}, {-1, false, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.changes);
        MachineOfCase fake(kWindows11TwoGroupsOf64);
        fake.machine.groupAffinityChanges = c.changes;
        unsigned long pid = 11;
        EXPECT_EQ(c.moved, MoveProcessesOnto(1, &pid, kMovedOnto, nullptr));
        EXPECT_EQ(c.asked, fake.machine.log.Count(pid, "GetProcessGroupAffinity"));
        EXPECT_EQ(c.moved ? 1 : 0, fake.machine.log.Count(pid, "SetProcessAffinityMask"));
    }
}

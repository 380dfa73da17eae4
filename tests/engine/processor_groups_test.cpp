// The engine on machines of several processor groups (fake machines that follow the system's
// documentation) and on Wine's one group (the real platform, logged): the exact calls each kind
// of process gets from Reset, Move and Isolate.
#include "engine/affinity.h"
#include "engine/process_mask.h"
#include "engine/processor_groups.h"
#include "group_machine.h"
#include "helper_processes.h"

#include <gtest/gtest.h>

namespace {

std::string Joined(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() || part.empty() ? "" : " ") + part;
    return text;
}

std::string RefusalText(const GroupRefusals& refusals) {
    std::string text;
    if (refusals.placedThemselves != 0)
        text = "itself x" + std::to_string(refusals.placedThemselves);
    for (int g = 0; g < kMaxProcessorGroups; ++g)
        if (refusals.inOneGroup[g] != 0)
            text += "group " + std::to_string(g) + " x" + std::to_string(refusals.inOneGroup[g]);
    return text;
}

// Reset ('R'), Move ('M') or Isolate ('I') with one process listed, through the processor-set
// functions the window calls or, for a mask other than 0, the mask functions scripts call.
void RunOperation(char operation, unsigned long listed, const ProcessorSet& set, AffinityMask mask,
                  GroupRefusals* refusals) {
    if (operation == 'R' && mask != 0)
        MoveAllProcesses(GenerateAllProcessorsMask());
    else if (operation == 'R')
        ResetAllProcesses();
    else if (operation == 'M' && mask != 0)
        MoveProcesses(1, &listed, mask);
    else if (operation == 'M')
        MoveProcessesOnto(1, &listed, set, refusals);
    else if (mask != 0)
        IsolateProcesses(1, &listed, mask);
    else
        IsolateProcessesOn(1, &listed, set, refusals);
}

// Reset reads and changes every process, Move the listed one, Isolate every one and then the
// listed one again.
void ExpectLogs(char operation, const std::vector<KindRow>& rows, DWORD listed,
                std::map<DWORD, std::string>& log, const std::string& enumerating) {
    for (const KindRow& row : rows) {
        const std::string moved = row.process.pid == listed ? Joined({row.read, row.move}) : "";
        const std::string expected = operation == 'R'   ? Joined({row.read, row.reset})
                                     : operation == 'M' ? moved
                                                        : Joined({row.read, row.isolate, moved});
        EXPECT_EQ(expected, log[row.process.pid]) << "process " << row.process.pid;
    }
    EXPECT_EQ(operation == 'M' ? "" : enumerating, log[0]) << "the machine";
}

// After Isolate the listed process, where it moved, may run on the set alone; every other that
// could be changed may run on all of its groups outside the set.
void ExpectSplit(GroupMachine& machine, DWORD listed, bool listedMoved, const ProcessorSet& set) {
    for (const auto& [pid, process] : machine.processes) {
        if (process.mask == 0)
            continue; // placed its threads itself, or never opened: left as it was
        const bool one = process.groups.size() == 1;
        const ProcessorSet runs =
            one ? ProcessorSet::InGroup(process.groups[0], process.mask) : process.cpuSets;
        const ProcessorSet all =
            one ? machine.Groups().AllOf(process.groups[0]) : machine.Groups().All();
        if (pid == listed && listedMoved) {
            EXPECT_EQ(SetText(set), SetText(runs)) << "process " << pid;
        } else {
            EXPECT_EQ("none", SetText(runs.Intersect(set))) << "process " << pid;
            EXPECT_EQ(SetText(all), SetText(runs.Union(set.Intersect(all)))) << "process " << pid;
        }
    }
}

} // namespace

TEST(ProcessorGroupsEngine, EachKindOfProcessGetsExactlyTheCallsOfItsRow) {
    for (const KindRow& c : KindRows()) {
        for (char operation : {'R', 'M', 'I'}) {
            SCOPED_TRACE(std::string(c.machine->name) + ", " + operation + " of " +
                         std::to_string(c.process.pid));
            GroupMachine machine(c.machine);
            ScopedProcessPlatform scope(machine);
            const std::vector<KindRow> rows = Populate(machine, c.machine);
            GroupRefusals refusals{};
            RunOperation(operation, c.process.pid, kMovedOnto, 0, &refusals);
            ExpectLogs(operation, rows, c.process.pid, machine.log, "EnumProcesses");
            for (const KindRow& row : rows) {
                if (operation == 'R' && row.process.groups.size() > 1) {
                    EXPECT_EQ(std::string::npos, machine.log[row.process.pid].find("SetMask"));
                    EXPECT_EQ(2u, machine.processes[row.process.pid].groups.size());
                }
            }
            if (operation == 'R')
                continue;
            EXPECT_EQ(c.refusal, RefusalText(refusals));
            // Each machine has one process that placed its threads itself.
            EXPECT_EQ(operation == 'I' && c.refusal != "itself x1" ? 1u : 0u, refusals.othersLeft);
            if (operation == 'I')
                ExpectSplit(machine, c.process.pid, c.refusal.empty(), kMovedOnto);
        }
    }
}

TEST(ProcessorGroupsEngine, AScriptNamesProcessorsByTheListsNumbersWhereTheyFit) {
    for (const MachineShape* shape : {&kWindows11, &kWindows10}) {
        GroupMachine machine(shape);
        ScopedProcessPlatform scope(machine);
        for (const KindRow& row : Populate(machine, shape)) {
            AffinityMask numbers = 0;
            EXPECT_EQ(row.script,
                      GetProcessMask(row.process.pid, &numbers) ? HexText(numbers) : "-")
                << shape->name << ", process " << row.process.pid;
        }
    }
    // Group 1's processors 8-15 are numbers 56-63 on two groups of 48: moved as the list says.
    GroupMachine machine(&kWindows10);
    ScopedProcessPlatform scope(machine);
    unsigned long pid = 21;
    Populate(machine, &kWindows10);
    EXPECT_TRUE(MoveProcesses(1, &pid, static_cast<AffinityMask>(0xFF00000000000000ull)));
    EXPECT_EQ("query[GetMask GetGroups] set[SetMask 1:ff00]", machine.log[pid]);
}

TEST(ProcessorGroupsEngine, IsolateRefusesASetThatEmptiesAGroupBeforeAnythingChanges) {
    const ProcessorSet group0 = ProcessorSet::InGroup(0, ~AffinityMask{0});
    for (const ProcessorSet& set :
         {ProcessorSet{}, group0, group0.Union(kMovedOnto), ProcessorSet::InGroup(2, 1)}) {
        GroupMachine machine(&kWindows11);
        ScopedProcessPlatform scope(machine);
        Populate(machine, &kWindows11);
        unsigned long listed = 11;
        EXPECT_FALSE(IsolateProcessesOn(1, &listed, set, nullptr)) << SetText(set);
        EXPECT_EQ("", machine.log[0] + machine.log[listed]) << SetText(set);
    }
}

// An answer of the group query that cannot be trusted reads as the caller's one group, and
// nothing is read past what the system wrote; an answer that keeps growing is asked for a few
// times only.
enum class Damage {
    kNone,
    kSizePastTheAnswer,
    kSizeZero,
    kMoreGroupsThanItHolds,
    kNoGroup,
    kCut,
    kGrowsForever
};

class DamagedGroupAnswer : public GroupMachine {
  public:
    explicit DamagedGroupAnswer(Damage damage) : GroupMachine(&kWindows11), damage_(damage) {}
    int calls = 0;

    BOOL ProcessorGroupInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer, DWORD* length,
                                   DWORD* lastError) override {
        ++calls;
        if (damage_ == Damage::kGrowsForever) {
            *length += sizeof(PROCESSOR_GROUP_INFO);
            *lastError = ERROR_INSUFFICIENT_BUFFER;
            return FALSE;
        }
        if (!GroupMachine::ProcessorGroupInformation(buffer, length, lastError))
            return FALSE;
        if (damage_ == Damage::kSizePastTheAnswer)
            buffer->Size = *length + 1;
        else if (damage_ == Damage::kSizeZero)
            buffer->Size = 0;
        else if (damage_ == Damage::kMoreGroupsThanItHolds)
            buffer->Group.ActiveGroupCount = 3;
        else if (damage_ == Damage::kNoGroup)
            buffer->Relationship = RelationNumaNode;
        else if (damage_ == Damage::kCut)
            *length = offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Group.GroupInfo);
        return TRUE;
    }

  private:
    Damage damage_;
};

TEST(ProcessorGroupsEngine, AnAnswerThatCannotBeTrustedReadsAsTheCallersOneGroup) {
    for (Damage damage :
         {Damage::kNone, Damage::kSizePastTheAnswer, Damage::kSizeZero,
          Damage::kMoreGroupsThanItHolds, Damage::kNoGroup, Damage::kCut, Damage::kGrowsForever}) {
        DamagedGroupAnswer machine(damage);
        const ProcessorGroups groups = ReadProcessorGroups(machine);
        const int expected = damage == Damage::kNone ? 2 : 1;
        EXPECT_EQ(expected, groups.count()) << "damage " << static_cast<int>(damage);
        EXPECT_EQ(HexText(machine.ActiveProcessorMask()), HexText(groups.group(0).activeMask))
            << "damage " << static_cast<int>(damage);
        EXPECT_GE(4, machine.calls) << "damage " << static_cast<int>(damage);
    }
}

// The fake machines' contract on Wine's one group, with two real processes of the one kind it has:
// every operation makes exactly the calls it made before groups were known.
TEST(ProcessorGroupsOnWine, EachOperationMakesTodaysCallsExactly) {
    const AffinityMask all = GenerateAllProcessorsMask();
    ASSERT_GE(all, 3ul) << "these tests need two processors";
    const AffinityMask chosen = all & ~(all >> 1); // the highest processor
    const std::vector<HelperProcess> helpers = StartHelpers(2);
    GroupMachine wine(nullptr);
    ScopedProcessPlatform scope(wine);
    ASSERT_FALSE(wine.Groups().several());
    EXPECT_EQ("GroupInfo GroupInfo", wine.log[0]) << "answered, with no fallback";
    EXPECT_EQ(HexText(all), HexText(wine.Groups().group(0).activeMask));
    const auto sets = [](AffinityMask mask) { return "set[SetMask 0:" + HexText(mask) + "]"; };
    std::vector<KindRow> rows(helpers.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].process.pid = helpers[i].pid();
        rows[i].reset = sets(all);
        rows[i].move = sets(chosen);
        rows[i].isolate = sets(all & ~chosen);
    }
    for (char operation : {'R', 'M', 'I'}) {
        for (AffinityMask mask : {AffinityMask{0}, chosen}) {
            SCOPED_TRACE(std::string(1, operation) + (mask != 0 ? " by mask" : " by set"));
            wine.log.clear();
            RunOperation(operation, helpers[0].pid(), ProcessorSet::InGroup(0, chosen), mask,
                         nullptr);
            ExpectLogs(operation, rows, helpers[0].pid(), wine.log, "SystemInfo EnumProcesses");
            ResetAllProcesses();
        }
    }
}

// The main window on a fake Windows 11 machine of two processor groups of 64: what the list shows
// for each kind of process, and the box that tells which processes their groups kept in place.
#include "frontend/group_refusal_text.h"
#include "frontend/resource.h"
#include "group_machine.h"
#include "main_window_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Every Windows 11 process of the shared table, and a second one of group 1.
void AddWindows11Processes(FakeGroupMachine& machine) {
    for (const ProcessKindCase& c : ProcessKindCases())
        if (c.machine == &kWindows11TwoGroupsOf64)
            machine.Add(c.process);
    machine.Add({15, {1}, 1, ~DWORD_PTR{0}, {}});
}

const char kMovedOneOfGroup1[] = "1 process runs only in processor group 1 and was not moved: a "
                                 "process cannot be moved to another processor group.";

} // namespace

TEST_F(MainWindowTest, OnTwoGroupsTheListNamesEveryProcessorByItsMachineNumber) {
    for (const MachineShape* shape : {&kWindows11TwoGroupsOf64, &kWindows10TwoGroupsOf48}) {
        SCOPED_TRACE(shape->name);
        FakeGroupMachine machine(*shape);
        ScopedProcessPlatform useMachine(machine);
        for (const ProcessKindCase& c : ProcessKindCases())
            if (c.machine == shape)
                machine.Add(c.process);
        OpenWindow();
        for (const ProcessKindCase& c : ProcessKindCases()) {
            if (c.machine != shape)
                continue;
            const ListRow* row = RowFor(c.process.pid);
            if (c.listText.empty()) {
                EXPECT_EQ(nullptr, row) << c.kind;
                continue;
            }
            ASSERT_NE(nullptr, row) << c.kind;
            EXPECT_EQ("kind" + std::to_string(c.process.pid) + ".exe", row->process) << c.kind;
            EXPECT_EQ(c.listText, row->mask) << c.kind;
            EXPECT_EQ(1, machine.log.Count(c.process.pid, "open ")) << c.kind;
        }
        EXPECT_EQ(0, machine.openHandles);
        EXPECT_EQ(0, machine.windows11CallsOnWindows10);
        ::DestroyWindow(window_);
        window_ = nullptr;
    }
}

TEST_F(MainWindowTest, OnTwoGroupsOneBoxTellsWhichProcessesTheirGroupsKept) {
    struct Case {
        const char* what;
        int command;
        std::vector<unsigned long> selected;
        std::string box; // empty: no box
        std::map<unsigned long, std::string> rows;
    };
    const Case cases[] = {
        {"Move, one process of group 1 refused",
         ID_MOVE_TO_CPUS,
         {10, 11},
         kMovedOneOfGroup1,
         {{10, "8"}, {11, "64-127"}, {12, "0-127"}}},
        {"Move, two of group 1 and one that placed itself",
         ID_MOVE_TO_CPUS,
         {11, 15, 14},
         "2 processes run only in processor group 1 and were not moved: a process cannot be "
         "moved to another processor group.\r\n\r\n1 process placed its threads in several "
         "processor groups itself and was not moved.",
         {{11, "64-127"}, {15, "64-127"}, {14, "several groups"}}},
        {"Move of a spanning process, nobody refused",
         ID_MOVE_TO_CPUS,
         {12},
         "",
         {{12, "8 (CPU set)"}, {10, "0-63"}}},
        {"Isolate of a spanning process",
         ID_ISOLATE_ON_CPUS,
         {12},
         "1 other process placed its threads in several processor groups itself and keeps them: "
         "it may still run on the chosen processors.",
         {{12, "8 (CPU set)"},
          {10, "0-7,9-63"},
          {11, "64-127"},
          {13, "0-7,9-127 (CPU set)"},
          {14, "several groups"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeGroupMachine machine(kWindows11TwoGroupsOf64);
        ScopedProcessPlatform useMachine(machine);
        AddWindows11Processes(machine);
        OpenWindow();
        Select(c.selected);
        MenuDriver menus;
        menus.ThenChoose(c.command);
        ModalDriver dialogs;
        // Box 8 is processor 8 of the machine: group 0's bit 8.
        dialogs.Then(ModalDriver::Check({IDC_CPU_FIRST + 8}, IDOK));
        if (!c.box.empty())
            dialogs.Then(ModalDriver::Click(IDOK));

        ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
        PumpMessages();

        ASSERT_EQ(c.box.empty() ? 1u : 2u, dialogs.shown().size());
        EXPECT_EQ("Processor Affinity", dialogs.shown()[0].caption);
        if (!c.box.empty()) {
            const ShownDialog& box = dialogs.shown()[1];
            EXPECT_EQ(c.box, box.text);
            EXPECT_EQ("Tandrel Pro", box.caption);
            EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), box.icon);
            EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
        }
        for (const auto& [pid, text] : c.rows) {
            const ListRow* row = RowFor(pid);
            ASSERT_NE(nullptr, row) << "process " << pid;
            EXPECT_EQ(text, row->mask) << "process " << pid;
        }
        EXPECT_EQ(0, machine.openHandles);
        ::DestroyWindow(window_);
        window_ = nullptr;
    }
}

// The window's cases above show one group; here the form for several.
TEST(GroupRefusalText, ProcessesOfSeveralGroupsNameEachGroup) {
    const std::string why = ") and were not moved: a process cannot be moved to another processor "
                            "group.";
    const struct {
        std::vector<std::pair<int, unsigned long>> inOneGroup;
        std::string text;
    } cases[] = {
        {{{0, 1}, {1, 2}},
         "3 processes run only in their own processor group (groups 0 and 1" + why},
        {{{0, 1}, {2, 1}, {5, 1}},
         "3 processes run only in their own processor group (groups 0, 2 and 5" + why},
    };
    for (const auto& c : cases) {
        GroupRefusals refusals{};
        for (const auto& [group, count] : c.inOneGroup)
            refusals.inOneGroup[group] = count;
        EXPECT_EQ(c.text, GroupRefusalText(refusals));
    }
}

// The main window on fake machines of two processor groups: what the list shows for each kind of
// process, and the box that tells which processes their groups kept in place.
#include "frontend/group_refusal_text.h"
#include "frontend/resource.h"
#include "group_machine.h"
#include "main_window_fixture.h"

#include <gtest/gtest.h>

namespace {

class MainWindowOnGroups : public MainWindowTest {
  protected:
    // "pid:mask" of each fake process the list shows, as the user reads them.
    std::string Shown(const GroupMachine& machine) {
        std::string text;
        for (const auto& [pid, process] : machine.processes)
            if (const ListRow* row = RowFor(pid))
                text += (text.empty() ? "" : ", ") + std::to_string(pid) + ":" + row->mask;
        return text;
    }
    void CloseWindow() {
        ::DestroyWindow(window_);
        window_ = nullptr;
    }
};

} // namespace

TEST_F(MainWindowOnGroups, TheListNamesEveryProcessorByItsMachineNumber) {
    for (const MachineShape* shape : {&kWindows11, &kWindows10}) {
        GroupMachine machine(shape);
        ScopedProcessPlatform scope(machine);
        std::string expected;
        for (const KindRow& row : Populate(machine, shape))
            if (!row.list.empty())
                expected += (expected.empty() ? "" : ", ") + std::to_string(row.process.pid) + ":" +
                            row.list;
        OpenWindow();
        EXPECT_EQ(expected, Shown(machine)) << shape->name;
        CloseWindow();
    }
}

TEST_F(MainWindowOnGroups, AfterMoveOrIsolateOneBoxTellsWhomTheirGroupsKept) {
    const std::string others = "13:8-15 (CPU set), 14:several groups, 15:64-127";
    const struct {
        int command;
        std::vector<unsigned long> selected;
        std::string box; // empty: no box
        std::string list;
    } cases[] = {
        {ID_MOVE_TO_CPUS,
         {10, 11},
         "1 process runs only in processor group 1 and was not moved: a process cannot be moved "
         "to another processor group.",
         "10:8, 11:64-127, 12:0-127, " + others},
        {ID_MOVE_TO_CPUS,
         {11, 15, 14},
         "2 processes run only in processor group 1 and were not moved: a process cannot be "
         "moved to another processor group.\r\n\r\n1 process placed its threads in several "
         "processor groups itself and was not moved.",
         "10:0-63, 11:64-127, 12:0-127, " + others},
        {ID_MOVE_TO_CPUS, {12}, "", "10:0-63, 11:64-127, 12:8 (CPU set), " + others},
        {ID_ISOLATE_ON_CPUS,
         {12},
         "1 other process placed its threads in several processor groups itself and keeps them: "
         "it may still run on the chosen processors.",
         "10:0-7,9-63, 11:64-127, 12:8 (CPU set), 13:0-7,9-127 (CPU set), 14:several groups, "
         "15:64-127"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        GroupMachine machine(&kWindows11);
        ScopedProcessPlatform scope(machine);
        Populate(machine, &kWindows11);
        machine.processes[15] = {15, {1}, ~DWORD_PTR{0}, {}};
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
        if (!c.box.empty()) {
            EXPECT_EQ(c.box, dialogs.shown()[1].text);
            EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), dialogs.shown()[1].icon);
        }
        EXPECT_EQ(c.list, Shown(machine));
        CloseWindow();
    }
}

// The window's machine of two groups shows one group per sentence; here the form for several.
TEST(GroupRefusalText, ProcessesOfSeveralGroupsNameEachGroup) {
    GroupRefusals refusals{};
    refusals.inOneGroup[0] = refusals.inOneGroup[2] = 1;
    refusals.inOneGroup[5] = 2;
    EXPECT_EQ("4 processes run only in their own processor group (groups 0, 2 and 5) and were "
              "not moved: a process cannot be moved to another processor group.",
              GroupRefusalText(refusals));
}

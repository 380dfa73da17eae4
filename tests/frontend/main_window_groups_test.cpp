// The main window on fake machines of two processor groups: what the list shows for each kind of
// process, and after Move or Isolate the box that tells whom their groups kept in place.
#include "frontend/group_refusal_text.h"
#include "frontend/resource.h"
#include "group_machine.h"
#include "main_window_fixture.h"

#include <gtest/gtest.h>

TEST_F(MainWindowTest, OnTwoGroupsTheListAndTheBoxNameProcessorsByTheirMachineNumbers) {
    const std::string others = "13:8-15 (CPU set), 14:several groups, 15:64-127";
    const struct {
        const MachineShape* machine;
        int command; // 0: the list as the window opens
        std::vector<unsigned long> selected;
        std::string box; // empty: no box
        std::string list;
    } cases[] = {
        {&kWindows10, 0, {}, "", "20:0-47, 21:48-95, 22:several groups"},
        {&kWindows11, 0, {}, "", "10:0-63, 11:64-127, 12:0-127, " + others},
        {&kWindows11,
         ID_MOVE_TO_CPUS,
         {10, 11},
         "1 process runs only in processor group 1 and was not moved: a process cannot be moved "
         "to another processor group.",
         "10:8, 11:64-127, 12:0-127, " + others},
        {&kWindows11,
         ID_MOVE_TO_CPUS,
         {11, 15, 14},
         "2 processes run only in processor group 1 and were not moved: a process cannot be "
         "moved to another processor group.\r\n\r\n1 process placed its threads in several "
         "processor groups itself and was not moved.",
         "10:0-63, 11:64-127, 12:0-127, " + others},
        {&kWindows11, ID_MOVE_TO_CPUS, {12}, "", "10:0-63, 11:64-127, 12:8 (CPU set), " + others},
        {&kWindows11,
         ID_ISOLATE_ON_CPUS,
         {12},
         "1 other process placed its threads in several processor groups itself and keeps them: "
         "it may still run on the chosen processors.",
         "10:0-7,9-63, 11:64-127, 12:8 (CPU set), 13:0-7,9-127 (CPU set), 14:several groups, "
         "15:64-127"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        GroupMachine machine(c.machine);
        ScopedProcessPlatform scope(machine);
        Populate(machine, c.machine);
        if (c.machine == &kWindows11)
            machine.processes[15] = {15, {1}, ~DWORD_PTR{0}, {}};
        OpenWindow();
        MenuDriver menus;
        ModalDriver dialogs;
        if (c.command != 0) {
            Select(c.selected);
            menus.ThenChoose(c.command);
            // Box 8 is processor 8 of the machine: group 0's bit 8.
            dialogs.Then(ModalDriver::Check({IDC_CPU_FIRST + 8}, IDOK));
            if (!c.box.empty())
                dialogs.Then(ModalDriver::Click(IDOK));
            ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
            PumpMessages();
        }
        ASSERT_EQ(c.command == 0 ? 0u : c.box.empty() ? 1u : 2u, dialogs.shown().size());
        if (!c.box.empty()) {
            EXPECT_EQ(c.box, dialogs.shown()[1].text);
            EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), dialogs.shown()[1].icon);
        }
        std::string shown; // every fake process the list shows, as the user reads it
        for (const auto& [pid, process] : machine.processes)
            if (const ListRow* row = RowFor(pid))
                shown += (shown.empty() ? "" : ", ") + std::to_string(pid) + ":" + row->mask;
        EXPECT_EQ(c.list, shown);
        ::DestroyWindow(window_);
        window_ = nullptr;
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

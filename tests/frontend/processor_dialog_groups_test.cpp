// The processor dialog on a fake Windows 11 machine of two processor groups of 64, opened from the
// main window's "Move to CPU(s)..." as a user opens it: the page each selection opens on, the
// boxes it may tick, ticks kept across pages, choices that span groups, and what the processes
// got, read in the rebuilt list.
#include "frontend/processor_dialog/topology_platform.h"
#include "frontend/resource.h"
#include "group_machine.h"
#include "main_window_fixture.h"
#include "processor_dialog_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
constexpr AffinityMask kAll = ~AffinityMask{0};
constexpr AffinityMask kLowHalf = 0xFFFFFFFF;

// Each group: 32 cores of two threads (bits 2c and 2c+1), the first 16 of the faster class, one L3
// cache and one NUMA node.
class TwoGroupTopology : public TopologyPlatform {
    using Record = SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX;

  public:
    TwoGroupTopology() {
        for (WORD group = 0; group < 2; ++group) {
            for (int core = 0; core < 32; ++core) {
                Record& record = Add(RelationProcessorCore);
                record.Processor.Reserved[0] = core < 16 ? 1 : 0; // EfficiencyClass
                record.Processor.GroupCount = 1;
                record.Processor.GroupMask[0] = {AffinityMask{3} << (2 * core), group, {}};
            }
            Record& cache = Add(RelationCache);
            cache.Cache.Level = 3;
            cache.Cache.Type = CacheUnified;
            cache.Cache.CacheSize = 32 * 1024 * 1024;
            cache.Cache.GroupMask = {kAll, group, {}};
            Add(RelationNumaNode).NumaNode.GroupMask = {kAll, group, {}};
        }
    }

    BOOL LogicalProcessorInformation(Record* buffer, DWORD* length) override {
        const auto needed = static_cast<DWORD>(records_.size() * sizeof(Record));
        const bool fits = buffer != nullptr && *length >= needed;
        if (fits)
            std::memcpy(buffer, records_.data(), needed);
        *length = needed;
        ::SetLastError(fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER);
        return fits;
    }

  private:
    Record& Add(LOGICAL_PROCESSOR_RELATIONSHIP relation) {
        records_.push_back({});
        records_.back().Relationship = relation;
        records_.back().Size = sizeof(Record);
        return records_.back();
    }
    std::vector<Record> records_;
};

// Ticks box `box` of page `page`, or chooses the entry `choice` there.
struct Pick {
    int page;
    int box;
    const char* choice = nullptr;
};

void ShowPage(HWND dialog, int page) {
    ASSERT_TRUE(ChooseWithArrowKeys(dialog, page, kProcessorGroupListId)) << "page " << page;
}

AffinityMask EnabledBoxes(HWND dialog) {
    AffinityMask enabled = 0;
    for (int k = 0; k < kMaskProcessors; ++k)
        enabled |= ::IsWindowEnabled(::GetDlgItem(dialog, IDC_CPU_FIRST + k)) ? ProcessorBit(k) : 0;
    return enabled;
}

std::string Text(HWND dialog, int controlId) {
    char text[64] = {};
    ::GetDlgItemTextA(dialog, controlId, text, sizeof(text));
    return text;
}
} // namespace

TEST_F(MainWindowTest, OnTwoGroupsTheDialogShowsAPagePerGroupAndHandsBackProcessorsOfBoth) {
    const struct {
        const char* what;
        std::vector<unsigned long> selected;
        int opensOn; // 1: every selected process runs in group 1 alone, and only it may be ticked
        std::vector<Pick> picks;
        int pageAfterPicks;
        AffinityMask ticked[2];
        std::map<unsigned long, std::string> rows;
    } cases[] = {
        {"two processes of group 1, a choice that spans groups",
         {11, 15},
         1,
         {{1, 0, "Performance cores"}},
         1,
         {0, kLowHalf},
         {{11, "64-95"}, {15, "64-95"}}},
        {"a process of group 1 and a spanning one",
         {11, 12},
         0,
         {{1, 2}},
         1,
         {0, 0x4},
         {{11, "66"}, {12, "66 (CPU set)"}}},
        {"a spanning process, a tick on each page",
         {12},
         0,
         {{1, 2}, {0, 3}},
         0,
         {0x8, 0x4},
         {{12, "3,66 (CPU set)"}}},
        {"a node of group 1 chosen on page 0",
         {12},
         0,
         {{0, 0, "NUMA node 1 (64-127)"}},
         1,
         {0, kAll},
         {{12, "64-127 (CPU set)"}}},
    };
    const std::vector<std::string> choices = {
        "All processors",     "One thread per core",      "Performance cores",
        "Efficiency cores",   "L3 cache 0, 32 MB (0-63)", "L3 cache 1, 32 MB (64-127)",
        "NUMA node 0 (0-63)", "NUMA node 1 (64-127)"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GroupMachine machine(&kWindows11);
        ScopedProcessPlatform useMachine(machine);
        TwoGroupTopology topology;
        ScopedTopologyPlatform useTopology(topology);
        Populate(machine, &kWindows11);
        machine.processes[15] = {15, {1}, kAll, {}};
        OpenWindow();
        Select(c.selected);
        MenuDriver menus;
        menus.ThenChoose(ID_MOVE_TO_CPUS);
        ModalDriver dialogs;
        dialogs.Then([&](HWND dialog) {
            const ProcessorDialogView opening = ReadProcessorDialog(dialog);
            // With group 1 alone, the cache and the node of group 0 are not offered.
            const std::vector<std::string> offered =
                c.opensOn == 0 ? choices
                               : std::vector<std::string>{choices[0], choices[1], choices[2],
                                                          choices[3], choices[5], choices[7]};
            EXPECT_EQ(offered, opening.entries);
            EXPECT_EQ(c.opensOn, SelectorChoice(dialog, kProcessorGroupListId));
            EXPECT_EQ("Group " + std::to_string(c.opensOn) + (c.opensOn ? " (64-127)" : " (0-63)"),
                      Text(dialog, kProcessorGroupListId));
            EXPECT_EQ("CPU " + std::to_string(64 * c.opensOn), Text(dialog, IDC_CPU_FIRST));
            for (int page = 0; page < 2; ++page) {
                ShowPage(dialog, page);
                EXPECT_EQ(page == 1 || c.opensOn == 0 ? kAll : 0, EnabledBoxes(dialog))
                    << "page " << page;
            }
            EXPECT_EQ("CPU 69: core 34 (2 threads), L3 cache 1, NUMA node 1, efficiency class 1",
                      ReadProcessorDialog(dialog).tooltips[5]);
            for (const Pick& pick : c.picks) {
                ShowPage(dialog, pick.page);
                if (pick.choice == nullptr)
                    ::SendDlgItemMessageA(dialog, IDC_CPU_FIRST + pick.box, BM_CLICK, 0, 0);
                for (size_t i = 0; pick.choice != nullptr && i < offered.size(); ++i)
                    if (offered[i] == pick.choice)
                        ChooseWithArrowKeys(dialog, static_cast<int>(i));
            }
            EXPECT_EQ(c.pageAfterPicks, SelectorChoice(dialog, kProcessorGroupListId));
            for (int page = 0; page < 2; ++page) {
                ShowPage(dialog, page);
                EXPECT_EQ(c.ticked[page], TickedProcessors(dialog)) << "page " << page;
            }
            // Sent, so that a warning would open and be cancelled inside the click; a dialog
            // that stays open after it is then cancelled, not left waiting.
            ::SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
            ModalDriver::Click(IDCANCEL)(dialog);
        });

        ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
        PumpMessages();

        EXPECT_EQ(1u, dialogs.shown().size());
        for (const auto& [pid, text] : c.rows) {
            const ListRow* row = RowFor(pid);
            ASSERT_NE(nullptr, row) << "process " << pid;
            EXPECT_EQ(text, row->mask) << "process " << pid;
        }
        ::DestroyWindow(window_);
        window_ = nullptr;
    }
}

TEST_F(MainWindowTest, OnGroupsOfFortyEightAPageShowsOnlyItsGroupsBoxes) {
    GroupMachine machine(&kWindows10);
    ScopedProcessPlatform useMachine(machine);
    Populate(machine, &kWindows10);
    OpenWindow();
    Select({20});
    MenuDriver menus;
    menus.ThenChoose(ID_MOVE_TO_CPUS);
    ModalDriver dialogs;
    dialogs.Then([&](HWND dialog) {
        for (int page = 0; page < 2; ++page) {
            ShowPage(dialog, page);
            AffinityMask visible = 0;
            for (int k = 0; k < kMaskProcessors; ++k)
                visible |= ::IsWindowVisible(::GetDlgItem(dialog, IDC_CPU_FIRST + k))
                               ? ProcessorBit(k)
                               : 0;
            EXPECT_EQ(static_cast<AffinityMask>(0xFFFFFFFFFFFFull), visible) << "page " << page;
            EXPECT_EQ("CPU " + std::to_string(48 * page + 47), Text(dialog, IDC_CPU_FIRST + 47));
        }
        ModalDriver::Click(IDCANCEL)(dialog);
    });
    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
    PumpMessages();
    EXPECT_EQ(1u, dialogs.shown().size());
}

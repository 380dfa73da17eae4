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
constexpr int kPages = 2;
constexpr AffinityMask kAll = ~AffinityMask{0};
constexpr AffinityMask kLowHalf = 0xFFFFFFFF;

// Each group: 32 cores of two threads (bits 2c and 2c+1), the first 16 of the faster class; one
// L3 cache and one NUMA node.
class TwoGroupTopology : public TopologyPlatform {
  public:
    TwoGroupTopology() {
        for (WORD group = 0; group < kPages; ++group) {
            for (int core = 0; core < 32; ++core)
                Add(RelationProcessorCore, sizeof(PROCESSOR_RELATIONSHIP), [&](auto& record) {
                    record.Processor.Flags = LTP_PC_SMT;
                    record.Processor.Reserved[0] = core < 16 ? 1 : 0; // EfficiencyClass
                    record.Processor.GroupCount = 1;
                    record.Processor.GroupMask[0] = {AffinityMask{3} << (2 * core), group, {}};
                });
            Add(RelationCache, sizeof(CACHE_RELATIONSHIP), [&](auto& record) {
                record.Cache.Level = 3;
                record.Cache.Type = CacheUnified;
                record.Cache.CacheSize = 32 * 1024 * 1024;
                record.Cache.GroupMask = {kAll, group, {}};
            });
            Add(RelationNumaNode, sizeof(NUMA_NODE_RELATIONSHIP), [&](auto& record) {
                record.NumaNode.NodeNumber = group;
                record.NumaNode.GroupMask = {kAll, group, {}};
            });
        }
    }

    BOOL LogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer,
                                     DWORD* length) override {
        const auto needed = static_cast<DWORD>(records_.size());
        if (buffer == nullptr || *length < needed) {
            *length = needed;
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::memcpy(buffer, records_.data(), needed);
        *length = needed;
        return TRUE;
    }

  private:
    template <typename Fill>
    void Add(LOGICAL_PROCESSOR_RELATIONSHIP relation, size_t bodyBytes, Fill fill) {
        const size_t size =
            offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor) + bodyBytes;
        SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX record{};
        record.Relationship = relation;
        record.Size = static_cast<DWORD>(size);
        fill(record);
        const auto* bytes = reinterpret_cast<const BYTE*>(&record);
        records_.insert(records_.end(), bytes, bytes + size);
    }

    std::vector<BYTE> records_;
};

const std::vector<std::string> kGroupEntries = {"Group 0 (0-63)", "Group 1 (64-127)"};
const std::vector<std::string> kChoices = {"All processors",           "One thread per core",
                                           "Performance cores",        "Efficiency cores",
                                           "L3 cache 0, 32 MB (0-63)", "L3 cache 1, 32 MB (64-127)",
                                           "NUMA node 0 (0-63)",       "NUMA node 1 (64-127)"};

// What the user does: ticks box `box` of page `page`, or chooses the entry `choice` there.
struct Pick {
    int page;
    int box;
    const char* choice = nullptr;
};

// What the dialog showed, page by page.
struct Seen {
    std::vector<std::string> groupEntries;
    std::vector<std::string> choices;
    int openedOn = -1;
    std::string firstBoxOfOpening;
    std::string tooltipOf69;
    AffinityMask enabled[kPages] = {};
    int pageAfterPicks = -1;
    AffinityMask ticked[kPages] = {};
};

void ShowPage(HWND dialog, int page) {
    ChooseWithArrowKeys(dialog, page, kProcessorGroupListId);
}

AffinityMask EnabledBoxes(HWND dialog) {
    AffinityMask enabled = 0;
    for (int k = 0; k < kMaskProcessors; ++k)
        if (::IsWindowEnabled(::GetDlgItem(dialog, IDC_CPU_FIRST + k)))
            enabled |= ProcessorBit(k);
    return enabled;
}

std::string BoxText(HWND dialog, int box) {
    char text[16] = {};
    ::GetDlgItemTextA(dialog, IDC_CPU_FIRST + box, text, sizeof(text));
    return text;
}

Seen Drive(HWND dialog, const std::vector<Pick>& picks) {
    Seen seen;
    const ProcessorDialogView opening = ReadProcessorDialog(dialog);
    seen.choices = opening.entries;
    const HWND groups = ::GetDlgItem(dialog, kProcessorGroupListId);
    for (LRESULT i = 0; i < ::SendMessageA(groups, CB_GETCOUNT, 0, 0); ++i) {
        char text[64] = {};
        ::SendMessageA(groups, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        seen.groupEntries.push_back(text);
    }
    seen.openedOn = SelectorChoice(dialog, kProcessorGroupListId);
    seen.firstBoxOfOpening = BoxText(dialog, 0);
    for (int page = 0; page < kPages; ++page) {
        ShowPage(dialog, page);
        seen.enabled[page] = EnabledBoxes(dialog);
    }
    seen.tooltipOf69 = ReadProcessorDialog(dialog).tooltips[5];
    for (const Pick& pick : picks) {
        ShowPage(dialog, pick.page);
        if (pick.choice == nullptr) {
            ::SendDlgItemMessageA(dialog, IDC_CPU_FIRST + pick.box, BM_CLICK, 0, 0);
            continue;
        }
        for (size_t i = 0; i < opening.entries.size(); ++i)
            if (opening.entries[i] == pick.choice)
                ChooseWithArrowKeys(dialog, static_cast<int>(i));
    }
    seen.pageAfterPicks = SelectorChoice(dialog, kProcessorGroupListId);
    for (int page = 0; page < kPages; ++page) {
        ShowPage(dialog, page);
        seen.ticked[page] = TickedProcessors(dialog);
    }
    // Sent, so that a warning would open and be cancelled inside the click; a dialog that stays
    // open after it is then cancelled, not left waiting.
    ::SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
    ModalDriver::Click(IDCANCEL)(dialog);
    return seen;
}
} // namespace

TEST_F(MainWindowTest, OnTwoGroupsTheDialogShowsAPagePerGroupAndHandsBackProcessorsOfBoth) {
    struct Case {
        const char* what;
        std::vector<unsigned long> selected;
        int opensOn;
        AffinityMask enabled[kPages];
        std::vector<Pick> picks;
        int pageAfterPicks;
        AffinityMask ticked[kPages];
        std::map<unsigned long, std::string> rows;
        bool refused; // a box told of processes that the processors could not move
    };
    const Case cases[] = {
        {"a process of group 1: only its group may be ticked",
         {11},
         1,
         {0, kAll},
         {{1, 2}},
         1,
         {0, 0x4},
         {{11, "66"}},
         false},
        {"processes of group 1 alone: a choice spanning groups ticks group 1's part",
         {11, 15},
         1,
         {0, kAll},
         {{1, 0, "Performance cores"}},
         1,
         {0, kLowHalf},
         {{11, "64-95"}, {15, "64-95"}},
         false},
        {"a spanning process: a tick on each page, both kept",
         {12},
         0,
         {kAll, kAll},
         {{0, 3}, {1, 2}},
         1,
         {0x8, 0x4},
         {{12, "3,66 (CPU set)"}},
         false},
        {"processes of both groups: a choice spanning groups",
         {10, 12},
         0,
         {kAll, kAll},
         {{0, 0, "Performance cores"}},
         0,
         {kLowHalf, kLowHalf},
         {{12, "0-31,64-95 (CPU set)"}, {10, "0-63"}},
         true},
        {"a choice of group 1 alone, chosen on page 0, shows page 1",
         {12, 14},
         0,
         {kAll, kAll},
         {{0, 0, "NUMA node 1 (64-127)"}},
         1,
         {0, kAll},
         {{12, "64-127 (CPU set)"}, {14, "several groups"}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeGroupMachine machine(kWindows11TwoGroupsOf64);
        ScopedProcessPlatform useMachine(machine);
        TwoGroupTopology topology;
        ScopedTopologyPlatform useTopology(topology);
        for (const ProcessKindCase& kind : ProcessKindCases())
            if (kind.machine == &kWindows11TwoGroupsOf64)
                machine.Add(kind.process);
        machine.Add({15, {1}, 1, kAll, {}});
        OpenWindow();
        Select(c.selected);
        MenuDriver menus;
        menus.ThenChoose(ID_MOVE_TO_CPUS);
        ModalDriver dialogs;
        Seen seen;
        dialogs.Then([&](HWND dialog) { seen = Drive(dialog, c.picks); });
        if (c.refused)
            dialogs.Then(ModalDriver::Click(IDOK));

        ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
        PumpMessages();

        ASSERT_EQ(c.refused ? 2u : 1u, dialogs.shown().size());
        EXPECT_EQ(kGroupEntries, seen.groupEntries);
        EXPECT_EQ(kChoices, seen.choices);
        EXPECT_EQ(c.opensOn, seen.openedOn);
        EXPECT_EQ("CPU " + std::to_string(64 * c.opensOn), seen.firstBoxOfOpening);
        EXPECT_EQ("CPU 69: core 34 (2 threads), L3 cache 1, NUMA node 1, efficiency class 1",
                  seen.tooltipOf69);
        EXPECT_EQ(c.pageAfterPicks, seen.pageAfterPicks);
        for (int page = 0; page < kPages; ++page) {
            EXPECT_EQ(c.enabled[page], seen.enabled[page]) << "page " << page;
            EXPECT_EQ(c.ticked[page], seen.ticked[page]) << "page " << page;
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

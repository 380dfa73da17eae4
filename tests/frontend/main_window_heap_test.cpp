// What the main window leaves in the process's heaps: every heap of the process is walked around a
// batch of moves through the processor dialog and of refreshes, on the real window and back end.
// The program's own manifest is linked in, so the dialogs get the common controls 6 that the
// program gets (the version 5 controls take other paths).
#include "main_window_fixture.h"

#include "frontend/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr int kMoves = 100;
constexpr int kRefreshes = 1000;
// Caches that the system fills on first use may still take a few blocks after the warm-up.
constexpr long kMadeOnceAllowance = 8;

struct HeapUse {
    long blocks = 0;
    long long bytes = 0;
};

// The blocks in use in every heap of the process. Allocates nothing itself, so the walk does not
// count itself.
HeapUse HeapUseNow() {
    HANDLE heaps[256] = {};
    const DWORD count = ::GetProcessHeaps(256, heaps);
    HeapUse use;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        if (!::HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                ++use.blocks;
                use.bytes += entry.cbData;
            }
        }
        ::HeapUnlock(heaps[i]);
    }
    return use;
}

class MainWindowHeapTest : public MainWindowTest {
  protected:
    // "Move to CPU(s)..." on this very process through its menu and dialog, ticking one
    // processor; false when the menu or the dialog did not show. A helper process would end by
    // itself after two minutes, which a slow machine can take for these moves.
    bool MoveThroughDialog(int processor) {
        Select({::GetCurrentProcessId()});
        MenuDriver menus;
        menus.ThenChoose(ID_MOVE_TO_CPUS);
        ModalDriver dialogs;
        dialogs.Then(ModalDriver::Check({IDC_CPU_FIRST + processor}, IDOK));
        ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
        PumpMessages();
        return menus.shown().size() == 1 && dialogs.shown().size() == 1 &&
               MaskOf(::GetCurrentProcess()) == ProcessorBit(processor);
    }

    void Refresh() { ClickButton(IDC_REFRESH); }
    int RowCount() const { return static_cast<int>(::SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }
};

TEST_F(MainWindowHeapTest, MovesAndRefreshesLeaveTheHeapsAsTheyWere) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ::ShowWindow(window_, SW_SHOW);
    PumpMessages();
    // What the first move and refresh make once (classes, fonts, the dialog's resources).
    ASSERT_TRUE(MoveThroughDialog(0));
    Refresh();

    // Each row of the list holds blocks of its own: a process that came or went meanwhile
    // shows in the row counts.
    const int rowsBefore = RowCount();
    const HeapUse beforeMoves = HeapUseNow();
    int movesShown = 0;
    for (int move = 0; move < kMoves; ++move)
        movesShown += MoveThroughDialog(move % 2) ? 1 : 0;
    const HeapUse afterMoves = HeapUseNow();
    for (int refresh = 0; refresh < kRefreshes; ++refresh)
        Refresh();
    const HeapUse afterRefreshes = HeapUseNow();
    const int rowsAfter = RowCount();

    std::printf("heap blocks in use: %ld (%lld bytes) before, %ld (%lld bytes) after %d moves, "
                "%ld (%lld bytes) after %d refreshes; list rows %d before, %d after\n",
                beforeMoves.blocks, beforeMoves.bytes, afterMoves.blocks, afterMoves.bytes, kMoves,
                afterRefreshes.blocks, afterRefreshes.bytes, kRefreshes, rowsBefore, rowsAfter);
    EXPECT_EQ(kMoves, movesShown) << "moves whose menu and dialog showed and took effect";
    EXPECT_LE(afterMoves.blocks - beforeMoves.blocks, kMadeOnceAllowance)
        << kMoves << " moves left " << afterMoves.blocks - beforeMoves.blocks << " blocks of "
        << afterMoves.bytes - beforeMoves.bytes << " bytes";
    EXPECT_LE(afterRefreshes.blocks - afterMoves.blocks, kMadeOnceAllowance)
        << kRefreshes << " refreshes left " << afterRefreshes.blocks - afterMoves.blocks
        << " blocks of " << afterRefreshes.bytes - afterMoves.bytes << " bytes";
}

} // namespace

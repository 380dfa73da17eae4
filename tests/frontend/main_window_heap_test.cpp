// What the main window leaves in the process's heaps: every heap of the process is walked around a
// batch of moves through the processor dialog and of refreshes, on the real window and back end.
// The program's own manifest is linked in, so the dialogs get the common controls 6 that the
// program gets (the version 5 controls take other paths). The moves are measured against a bare
// dialog of the same template and as many text controls, made and destroyed as often: what the
// system's own controls keep of every dialog (Wine's keep a block per text control) is not ours.
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

int TextControls(HWND dialog) {
    int count = 0;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        ::GetClassNameA(child, className, sizeof(className));
        count += lstrcmpiA(className, "Static") == 0 ? 1 : 0;
    }
    return count;
}

INT_PTR CALLBACK BareDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// The processor dialog's template with nothing of the program: made, given text controls with
// the dialog's font up to `textControls`, shown and destroyed. False when it could not be made.
bool MakeAndDestroyBareDialog(HWND owner, int textControls) {
    const HWND dialog =
        ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROCESSOR_AFFINITY),
                             owner, BareDialogProc, 0);
    if (dialog == nullptr)
        return false;
    const WPARAM font = static_cast<WPARAM>(::SendMessageA(dialog, WM_GETFONT, 0, 0));
    for (int made = TextControls(dialog); made < textControls; ++made) {
        const HWND text =
            ::CreateWindowExA(0, "Static", "Select:", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 40, 10,
                              dialog, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ::SendMessageA(text, WM_SETFONT, font, FALSE);
    }
    ::ShowWindow(dialog, SW_SHOW);
    ::UpdateWindow(dialog);
    ::DestroyWindow(dialog);
    return true;
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
        dialogs.Then([this, processor](HWND dialog) {
            textControls_ = TextControls(dialog);
            ModalDriver::Check({IDC_CPU_FIRST + processor}, IDOK)(dialog);
        });
        ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
        PumpMessages();
        return menus.shown().size() == 1 && dialogs.shown().size() == 1 &&
               MaskOf(::GetCurrentProcess()) == ProcessorBit(processor);
    }

    void Refresh() { ClickButton(IDC_REFRESH); }
    int RowCount() const { return static_cast<int>(::SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }

    // The processor dialog's text controls, as the last move showed them.
    int textControls_ = 0;
};

TEST_F(MainWindowHeapTest, MovesAndRefreshesLeaveTheHeapsAsTheyWere) {
    ASSERT_NO_FATAL_FAILURE(OpenWindow());
    ::ShowWindow(window_, SW_SHOW);
    PumpMessages();
    // What the first move and refresh make once (classes, fonts, the dialog's resources).
    ASSERT_TRUE(MoveThroughDialog(0));
    Refresh();

    ASSERT_TRUE(MakeAndDestroyBareDialog(window_, textControls_));
    PumpMessages();

    const HeapUse beforeBare = HeapUseNow();
    int bareMade = 0;
    for (int dialog = 0; dialog < kMoves; ++dialog)
        bareMade += MakeAndDestroyBareDialog(window_, textControls_) ? 1 : 0;
    PumpMessages();
    const HeapUse afterBare = HeapUseNow();

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

    const long bareBlocks = afterBare.blocks - beforeBare.blocks;
    const long moveBlocks = afterMoves.blocks - beforeMoves.blocks;
    std::printf("heap blocks in use: %ld (%lld bytes) before, %ld (%lld bytes) after %d bare "
                "dialogs of %d text controls; %ld (%lld bytes) before, %ld (%lld bytes) after %d "
                "moves, %ld (%lld bytes) after %d refreshes; list rows %d before, %d after\n",
                beforeBare.blocks, beforeBare.bytes, afterBare.blocks, afterBare.bytes, kMoves,
                textControls_, beforeMoves.blocks, beforeMoves.bytes, afterMoves.blocks,
                afterMoves.bytes, kMoves, afterRefreshes.blocks, afterRefreshes.bytes, kRefreshes,
                rowsBefore, rowsAfter);
    EXPECT_EQ(kMoves, bareMade) << "bare dialogs made";
    EXPECT_EQ(kMoves, movesShown) << "moves whose menu and dialog showed and took effect";
    EXPECT_LE(moveBlocks - bareBlocks, kMadeOnceAllowance)
        << kMoves << " moves left " << moveBlocks << " blocks of "
        << afterMoves.bytes - beforeMoves.bytes << " bytes, " << kMoves << " bare dialogs "
        << bareBlocks << " blocks of " << afterBare.bytes - beforeBare.bytes << " bytes";
    EXPECT_LE(afterRefreshes.blocks - afterMoves.blocks, kMadeOnceAllowance)
        << kRefreshes << " refreshes left " << afterRefreshes.blocks - afterMoves.blocks
        << " blocks of " << afterRefreshes.bytes - afterMoves.bytes << " bytes";
}

} // namespace

// The main window from its real template with real helper processes: the list, the context menu,
// the processor dialog and the reset question, driven as the user drives them.
#include "main_window_fixture.h"

#include "engine/affinity.h"
#include "frontend/main_window.h"
#include "frontend/resource.h"
#include "engine/process_platform.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

const std::vector<std::string> kMenuItems = {"Move to CPU(s)...", "Isolate on CPU(s)..."};
constexpr char kResetQuestion[] =
    "Are you sure you wish to reset the affinities of all processes to all processors?";

struct Column {
    std::string header;
    int width = -1;
};

Column ReadColumn(HWND listView, int index) {
    char header[64] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = header;
    column.cchTextMax = sizeof(header);
    if (!::SendMessageA(listView, LVM_GETCOLUMNA, index, reinterpret_cast<LPARAM>(&column)))
        return {"(no column)", -1};
    return {header, column.cx};
}

POINT ScreenPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(window, &point);
    return point;
}

RECT RowBounds(HWND listView, int row) {
    RECT bounds{};
    bounds.left = LVIR_SELECTBOUNDS;
    ::SendMessageA(listView, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    return bounds;
}

// A right click as the mouse makes it: the cursor moves there, then the button goes down and up.
void RightClick(HWND listView, int x, int y) {
    POINT screen = ScreenPoint(listView, x, y);
    ::SetCursorPos(screen.x, screen.y);
    ::PostMessageA(listView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
    ::PostMessageA(listView, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    PumpMessages();
}

class FailingEnumeration : public ProcessPlatform {
  public:
    BOOL EnumerateProcesses(DWORD*, DWORD, DWORD*) override {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
};

// The system reports both masks as 0 for a process whose threads run in several processor
// groups; Wine has one group, so this stands in for such a process among the real ones.
class ProcessInSeveralGroups : public ProcessPlatform {
  public:
    explicit ProcessInSeveralGroups(unsigned long processId) : processId_(processId) {}
    BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                DWORD_PTR* systemMask) override {
        if (!ProcessPlatform::GetProcessAffinityMask(process, processMask, systemMask))
            return FALSE;
        if (::GetProcessId(process) == processId_)
            *processMask = *systemMask = 0;
        return TRUE;
    }

  private:
    unsigned long processId_;
};

std::vector<std::string> RowTexts(const std::vector<ListRow>& rows) {
    std::vector<std::string> texts;
    for (const ListRow& row : rows)
        texts.push_back(row.process + " | " + row.pid + " | " + row.mask);
    return texts;
}

int SelectedCount(HWND listView) {
    return static_cast<int>(::SendMessageA(listView, LVM_GETSELECTEDCOUNT, 0, 0));
}

} // namespace

TEST_F(MainWindowTest, ListHasThreeColumnsSizedToTheList) {
    OpenWindow();
    RECT bounds{};
    ::GetWindowRect(list_, &bounds);
    Column process = ReadColumn(list_, 0), pid = ReadColumn(list_, 1), mask = ReadColumn(list_, 2);
    EXPECT_EQ("Process", process.header);
    EXPECT_EQ(200, process.width);
    EXPECT_EQ("PID", pid.header);
    EXPECT_EQ(50, pid.width);
    EXPECT_EQ("Affinity Mask", mask.header);
    EXPECT_EQ(bounds.right - bounds.left - 275, mask.width);
    EXPECT_EQ("(no column)", ReadColumn(list_, 3).header);
}

TEST_F(MainWindowTest, RowsAreSortedByProcessWithPidAndMaskText) {
    // Started in the reverse of the names' order, so that the snapshot lists them unsorted.
    HelperProcess last = StartNamedHelper("zz-tandrel-helper.exe");
    HelperProcess first = StartNamedHelper("aa-tandrel-helper.exe");
    HelperProcess twin = StartNamedHelper("aa-tandrel-helper.exe");
    ASSERT_TRUE(last.SetMask(1));
    ASSERT_TRUE(first.SetMask(2));
    OpenWindow();

    std::vector<ListRow> list = rows();
    ASSERT_GE(list.size(), 4u);
    for (size_t i = 1; i < list.size(); ++i)
        EXPECT_LE(::lstrcmpA(list[i - 1].process.c_str(), list[i].process.c_str()), 0)
            << "row " << i - 1 << " \"" << list[i - 1].process << "\" before row " << i << " \""
            << list[i].process << "\"";
    for (const ListRow& row : list)
        EXPECT_EQ(std::to_string(row.itemData), row.pid) << row.process;

    const ListRow* lastRow = RowFor(last.pid());
    ASSERT_NE(nullptr, lastRow);
    EXPECT_EQ("zz-tandrel-helper.exe", lastRow->process);
    EXPECT_EQ("0", lastRow->mask);
    const ListRow* firstRow = RowFor(first.pid());
    ASSERT_NE(nullptr, firstRow);
    EXPECT_EQ("aa-tandrel-helper.exe", firstRow->process);
    EXPECT_EQ("1", firstRow->mask);
    const ListRow* twinRow = RowFor(twin.pid());
    ASSERT_NE(nullptr, twinRow);
    EXPECT_EQ("aa-tandrel-helper.exe", twinRow->process);
    EXPECT_EQ("0-1", twinRow->mask);
    EXPECT_LT(RowOf(list_, first.pid()), RowOf(list_, last.pid()));
    EXPECT_LT(RowOf(list_, twin.pid()), RowOf(list_, last.pid()));
}

TEST_F(MainWindowTest, MoveSetsTheSelectedProcessesAndRebuildsTheList) {
    std::vector<HelperProcess> helpers = StartHelpers(3);
    OpenWindow();
    Select({helpers[0].pid(), helpers[2].pid()});
    MenuDriver menus;
    menus.ThenChoose(ID_MOVE_TO_CPUS);
    ModalDriver dialogs;
    dialogs.Then(ModalDriver::Check({IDC_CPU_FIRST}, IDOK));

    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
    PumpMessages();

    ASSERT_EQ(1u, menus.shown().size());
    EXPECT_EQ(kMenuItems, menus.shown()[0].items);
    ASSERT_EQ(1u, dialogs.shown().size());
    EXPECT_EQ("Processor Affinity", dialogs.shown()[0].caption);
    EXPECT_EQ(1ul, helpers[0].mask());
    EXPECT_EQ(3ul, helpers[1].mask());
    EXPECT_EQ(1ul, helpers[2].mask());
    ASSERT_NE(nullptr, RowFor(helpers[0].pid()));
    EXPECT_EQ("0", RowFor(helpers[0].pid())->mask);
    EXPECT_EQ("0-1", RowFor(helpers[1].pid())->mask);
    EXPECT_EQ("0", RowFor(helpers[2].pid())->mask);
    EXPECT_EQ(0, SelectedCount(list_));
}

TEST_F(MainWindowTest, IsolateGivesTheOthersTheRemainingProcessors) {
    std::vector<HelperProcess> helpers = StartHelpers(2);
    OpenWindow();
    Select({helpers[1].pid()});
    MenuDriver menus;
    menus.ThenChoose(ID_ISOLATE_ON_CPUS);
    ModalDriver dialogs;
    dialogs.Then(ModalDriver::Check({IDC_CPU_FIRST + 1}, IDOK));

    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
    PumpMessages();

    ASSERT_EQ(1u, menus.shown().size());
    ASSERT_EQ(1u, dialogs.shown().size());
    EXPECT_EQ(1ul, helpers[0].mask());
    EXPECT_EQ(2ul, helpers[1].mask());
    EXPECT_EQ(1ul, MaskOf(::GetCurrentProcess()));
    ASSERT_NE(nullptr, RowFor(helpers[1].pid()));
    EXPECT_EQ("0", RowFor(helpers[0].pid())->mask);
    EXPECT_EQ("1", RowFor(helpers[1].pid())->mask);
    EXPECT_EQ(0, SelectedCount(list_));
}

TEST_F(MainWindowTest, CancelledDialogChangesNothing) {
    std::vector<HelperProcess> helpers = StartHelpers(1);
    OpenWindow();
    Select({helpers[0].pid()});
    // Changed behind the window's back: a rebuild would show it.
    ASSERT_TRUE(helpers[0].SetMask(2));
    MenuDriver menus;
    menus.ThenChoose(ID_MOVE_TO_CPUS);
    menus.ThenChoose(ID_ISOLATE_ON_CPUS);
    ModalDriver dialogs;
    dialogs.Then(ModalDriver::Click(IDCANCEL));
    dialogs.Then(ModalDriver::PressEscape());

    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
    PumpMessages();
    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
    PumpMessages();

    EXPECT_EQ(2u, menus.shown().size());
    EXPECT_EQ(2u, dialogs.shown().size());
    EXPECT_EQ(2ul, helpers[0].mask());
    EXPECT_EQ(3ul, MaskOf(::GetCurrentProcess()));
    ASSERT_NE(nullptr, RowFor(helpers[0].pid()));
    EXPECT_EQ("0-1", RowFor(helpers[0].pid())->mask);
    EXPECT_TRUE(RowFor(helpers[0].pid())->selected);
    EXPECT_EQ(1, SelectedCount(list_));
}

TEST_F(MainWindowTest, ResetAnsweredNoChangesNothing) {
    std::vector<HelperProcess> helpers = StartHelpers(1);
    ASSERT_TRUE(helpers[0].SetMask(1));
    OpenWindow();
    ASSERT_TRUE(helpers[0].SetMask(2));
    ModalDriver dialogs;
    dialogs.Then(ModalDriver::Click(IDNO));

    ClickButton(IDC_RESET);

    ASSERT_EQ(1u, dialogs.shown().size());
    EXPECT_EQ("Tandrel Pro", dialogs.shown()[0].caption);
    EXPECT_EQ(kResetQuestion, dialogs.shown()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), dialogs.shown()[0].icon);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), dialogs.shown()[0].buttons);
    EXPECT_EQ(2ul, helpers[0].mask());
    ASSERT_NE(nullptr, RowFor(helpers[0].pid()));
    EXPECT_EQ("0", RowFor(helpers[0].pid())->mask);
}

TEST_F(MainWindowTest, ResetAnsweredYesGivesEveryProcessAllProcessors) {
    std::vector<HelperProcess> helpers = StartHelpers(2);
    ASSERT_TRUE(helpers[0].SetMask(1));
    ASSERT_TRUE(helpers[1].SetMask(2));
    OpenWindow();
    Select({helpers[0].pid()});
    ModalDriver dialogs;
    dialogs.Then(ModalDriver::Click(IDYES));

    ClickButton(IDC_RESET);

    ASSERT_EQ(1u, dialogs.shown().size());
    EXPECT_EQ(kResetQuestion, dialogs.shown()[0].text);
    EXPECT_EQ(GenerateAllProcessorsMask(), helpers[0].mask());
    EXPECT_EQ(GenerateAllProcessorsMask(), helpers[1].mask());
    ASSERT_NE(nullptr, RowFor(helpers[0].pid()));
    EXPECT_EQ("0-1", RowFor(helpers[0].pid())->mask);
    EXPECT_EQ("0-1", RowFor(helpers[1].pid())->mask);
    EXPECT_EQ(0, SelectedCount(list_));
}

TEST_F(MainWindowTest, RefreshShowsTheMasksOfNow) {
    std::vector<HelperProcess> helpers = StartHelpers(1);
    OpenWindow();
    ASSERT_TRUE(helpers[0].SetMask(2));
    HelperProcess later = StartNamedHelper("later-tandrel-helper.exe");
    Select({helpers[0].pid()});

    ClickButton(IDC_REFRESH);

    ASSERT_NE(nullptr, RowFor(helpers[0].pid()));
    EXPECT_EQ("1", RowFor(helpers[0].pid())->mask);
    ASSERT_NE(nullptr, RowFor(later.pid()));
    EXPECT_EQ("later-tandrel-helper.exe", RowFor(later.pid())->process);
    EXPECT_EQ(0, SelectedCount(list_));
}

TEST_F(MainWindowTest, ContextMenuNeverOpensWithoutSelection) {
    std::vector<HelperProcess> helpers = StartHelpers(1);
    OpenWindow();
    MenuDriver menus;
    menus.ThenDismiss();

    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
    PumpMessages();
    // Right of the first column no row is hit: the click clears the selection.
    Select({helpers[0].pid()});
    RECT row = RowBounds(list_, RowOf(list_, helpers[0].pid()));
    RightClick(list_, 300, row.top + 3);

    EXPECT_EQ(0, SelectedCount(list_));
    EXPECT_EQ(0u, menus.shown().size());
}

TEST_F(MainWindowTest, RightClickInTheListOpensTheMenuAtTheCursor) {
    std::vector<HelperProcess> helpers = StartHelpers(2);
    OpenWindow();
    Select({helpers[0].pid()});
    int target = RowOf(list_, helpers[1].pid());
    RECT row = RowBounds(list_, target);
    MenuDriver menus;
    menus.ThenDismiss();

    RightClick(list_, row.left + 120, row.top + 3);

    ASSERT_EQ(1u, menus.shown().size());
    POINT cursor = ScreenPoint(list_, row.left + 120, row.top + 3);
    EXPECT_EQ(cursor.x, menus.shown()[0].position.x);
    EXPECT_EQ(cursor.y, menus.shown()[0].position.y);
    EXPECT_EQ(kMenuItems, menus.shown()[0].items);
}

TEST_F(MainWindowTest, OtherMenuRequestsOpenAtTheFirstSelectedRow) {
    std::vector<HelperProcess> helpers = StartHelpers(3);
    OpenWindow();
    Select({helpers[2].pid(), helpers[0].pid()});
    int first = std::min(RowOf(list_, helpers[0].pid()), RowOf(list_, helpers[2].pid()));
    RECT row = RowBounds(list_, first);
    POINT expected = ScreenPoint(list_, row.left + 50, row.top + 10);
    MenuDriver menus;
    menus.ThenDismiss();
    menus.ThenDismiss();

    // From a button, and from the keyboard's menu key with the cursor elsewhere.
    HWND refresh = ::GetDlgItem(window_, IDC_REFRESH);
    ::SetCursorPos(5, 5);
    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(refresh), MAKELPARAM(7, 7));
    PumpMessages();
    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), -1);
    PumpMessages();

    ASSERT_EQ(2u, menus.shown().size());
    for (const ShownMenu& menu : menus.shown()) {
        EXPECT_EQ(expected.x, menu.position.x);
        EXPECT_EQ(expected.y, menu.position.y);
    }
}

TEST_F(MainWindowTest, RightClickWithoutSelectionPlacesTheNextMenuAtTheCursor) {
    std::vector<HelperProcess> helpers = StartHelpers(1);
    OpenWindow();
    RECT row = RowBounds(list_, RowOf(list_, helpers[0].pid()));
    MenuDriver menus;
    menus.ThenDismiss();
    menus.ThenDismiss();

    RightClick(list_, 300, row.top + 3);
    POINT cursor = ScreenPoint(list_, 300, row.top + 3);
    Select({helpers[0].pid()});
    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), -1);
    PumpMessages();
    // The cursor was used once; the next request goes to the row again.
    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), -1);
    PumpMessages();

    ASSERT_EQ(2u, menus.shown().size());
    EXPECT_EQ(cursor.x, menus.shown()[0].position.x);
    EXPECT_EQ(cursor.y, menus.shown()[0].position.y);
    POINT atRow = ScreenPoint(list_, row.left + 50, row.top + 10);
    EXPECT_EQ(atRow.x, menus.shown()[1].position.x);
    EXPECT_EQ(atRow.y, menus.shown()[1].position.y);
}

TEST_F(MainWindowTest, EnterAndEscapeLeaveTheWindowAlone) {
    OpenWindow();
    ::SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ::SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    MSG quit{};
    EXPECT_FALSE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_TRUE(::IsWindow(window_));
    EXPECT_TRUE(::IsWindowVisible(window_));
}

TEST_F(MainWindowTest, ClosingPostsQuitAndKeepsTheWindow) {
    OpenWindow();
    ClickButton(IDC_EXIT);
    // PumpMessages does not take WM_QUIT out of the queue: look for it afterwards.
    MSG quit{};
    quit.wParam = 12345;
    ASSERT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, quit.wParam);
    EXPECT_TRUE(::IsWindow(window_));
}

TEST_F(MainWindowTest, FailedSnapshotShowsTheErrorAndKeepsTheRows) {
    std::vector<HelperProcess> helpers = StartHelpers(1);
    OpenWindow();
    std::vector<std::string> before = RowTexts(rows());
    ASSERT_TRUE(helpers[0].SetMask(2));
    FailingEnumeration failing;
    ScopedProcessPlatform useFailing(failing);
    ModalDriver dialogs;
    HWND owner = nullptr;
    dialogs.Then([&owner](HWND box) {
        owner = ::GetWindow(box, GW_OWNER);
        ModalDriver::Click(IDOK)(box);
    });

    ClickButton(IDC_REFRESH);

    ASSERT_EQ(1u, dialogs.shown().size());
    EXPECT_EQ("Tandrel Pro", dialogs.shown()[0].caption);
    EXPECT_EQ("Error enumerating processes!", dialogs.shown()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), dialogs.shown()[0].icon);
    EXPECT_EQ(std::vector<int>{IDOK}, dialogs.shown()[0].buttons);
    EXPECT_EQ(window_, owner);
    EXPECT_EQ(before, RowTexts(rows()));
}

TEST_F(MainWindowTest, FailedFirstSnapshotLeavesTheListEmpty) {
    FailingEnumeration failing;
    ScopedProcessPlatform useFailing(failing);
    ModalDriver dialogs;
    // The driver notes the main window too, which opens first and needs nothing.
    dialogs.Then([](HWND) {});
    dialogs.Then(ModalDriver::Click(IDOK));

    OpenWindow();
    PumpMessages();

    ASSERT_EQ(2u, dialogs.shown().size());
    EXPECT_EQ("Error enumerating processes!", dialogs.shown()[1].text);
    EXPECT_EQ(0u, rows().size());
    EXPECT_EQ("Affinity Mask", ReadColumn(list_, 2).header);
}

TEST_F(MainWindowTest, ProcessInSeveralGroupsReadsSeveralGroups) {
    std::vector<HelperProcess> helpers = StartHelpers(2);
    ProcessInSeveralGroups system(helpers[0].pid());
    ScopedProcessPlatform useSystem(system);

    OpenWindow();

    ASSERT_NE(nullptr, RowFor(helpers[0].pid()));
    EXPECT_EQ("several groups", RowFor(helpers[0].pid())->mask);
    EXPECT_EQ("0-1", RowFor(helpers[1].pid())->mask);
}

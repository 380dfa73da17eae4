#include "main_window_fixture.h"

#include "engine/affinity.h"
#include "frontend/main_window.h"
#include "frontend/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

std::string ItemText(HWND listView, int row, int subItem) {
    char text[512] = {};
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    ::SendMessageA(listView, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::string HelperDirectory() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    // A dot in the directory name must not confuse the file name shown in the list.
    std::string directory = std::string(temp) + "tandrel.window-tests\\";
    ::CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

} // namespace

std::vector<ListRow> ReadRows(HWND listView) {
    std::vector<ListRow> rows;
    int count = static_cast<int>(::SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        ListRow entry;
        entry.process = ItemText(listView, row, 0);
        entry.pid = ItemText(listView, row, 1);
        entry.mask = ItemText(listView, row, 2);
        LVITEMA item{};
        item.mask = LVIF_PARAM | LVIF_STATE;
        item.stateMask = LVIS_SELECTED;
        item.iItem = row;
        ::SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        entry.itemData = static_cast<unsigned long>(item.lParam);
        entry.selected = (item.state & LVIS_SELECTED) != 0;
        rows.push_back(entry);
    }
    return rows;
}

int RowOf(HWND listView, unsigned long processId) {
    LVFINDINFOA find{};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(processId);
    return static_cast<int>(
        ::SendMessageA(listView, LVM_FINDITEMA, -1, reinterpret_cast<LPARAM>(&find)));
}

HelperProcess StartNamedHelper(const std::string& fileName) {
    std::string path = HelperDirectory() + fileName;
    // A copy left by an earlier run may still be in use; the existing file serves as well.
    ::CopyFileA((ProgramDirectory() + "waiter.exe").c_str(), path.c_str(), FALSE);
    return HelperProcess(path);
}

void MainWindowTest::SetUp() {
    // The list view class of the template, as start-up registers it.
    ::InitCommonControls();
    // Every test starts from all processors for everybody.
    MoveAllProcesses(GenerateAllProcessorsMask());
}

void MainWindowTest::TearDown() {
    if (window_ != nullptr)
        ::DestroyWindow(window_);
    PumpMessages();
    MSG quit{};
    ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    MoveAllProcesses(GenerateAllProcessorsMask());
}

void MainWindowTest::OpenWindow() {
    window_ = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                   MainWindowProc, 0);
    // Error 1400 here means that Wine could not start its desktop (explorer.exe) for this process.
    ASSERT_NE(nullptr, window_) << "error " << ::GetLastError();
    list_ = ::GetDlgItem(window_, IDC_PROCESS_LIST);
    ASSERT_NE(nullptr, list_);
}

void MainWindowTest::Select(const std::vector<unsigned long>& processIds) {
    LVITEMA none{};
    none.stateMask = LVIS_SELECTED;
    ::SendMessageA(list_, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&none));
    for (unsigned long processId : processIds) {
        int row = RowOf(list_, processId);
        ASSERT_NE(-1, row) << "no row for process " << processId;
        LVITEMA selected{};
        selected.stateMask = LVIS_SELECTED;
        selected.state = LVIS_SELECTED;
        ::SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
    }
}

void MainWindowTest::ClickButton(int controlId) {
    ::SendDlgItemMessageA(window_, controlId, BM_CLICK, 0, 0);
    PumpMessages();
}

const ListRow* MainWindowTest::RowFor(unsigned long processId) {
    rowsCache_ = ReadRows(list_);
    for (const ListRow& row : rowsCache_)
        if (row.itemData == processId)
            return &row;
    return nullptr;
}

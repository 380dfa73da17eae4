#include "frontend/main_window.h"

#include "frontend/affinity_mask_text.h"
#include "frontend/group_refusal_text.h"
#include "common/dialog_binding.h"
#include "engine/affinity.h"
#include "engine/process_platform.h"
#include "frontend/process_snapshot.h"
#include "frontend/processor_dialog/processor_dialog.h"
#include "frontend/resource.h"
#include "frontend/screen_dpi.h"

#include <commctrl.h>

#include <string>

namespace {

constexpr int kProcessColumnWidth = 200;
constexpr int kPidColumnWidth = 50;
// The mask column takes what the other two columns and the list's frame leave of its width.
constexpr int kMaskColumnSpare = 275;

// The context menu opens this far into the first selected row when no right click placed it.
constexpr int kMenuOffsetX = 50;
constexpr int kMenuOffsetY = 10;

constexpr char kResetQuestion[] =
    "Are you sure you wish to reset the affinities of all processes to all processors?";

void InsertColumn(HWND listView, int index, int width, const char* header) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(header);
    column.iSubItem = index;
    ::SendMessageA(listView, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void SetSubItemText(HWND listView, int row, int subItem, const std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(listView, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

int SelectedCount(HWND listView) {
    return static_cast<int>(::SendMessageA(listView, LVM_GETSELECTEDCOUNT, 0, 0));
}

int NextSelectedRow(HWND listView, int after) {
    return static_cast<int>(
        ::SendMessageA(listView, LVM_GETNEXTITEM, after, MAKELPARAM(LVNI_SELECTED, 0)));
}

} // namespace

MainWindow::MainWindow(HWND dialogWindow)
    : dialogWindow_(dialogWindow), listView_(::GetDlgItem(dialogWindow, IDC_PROCESS_LIST)),
      trayIcon_(dialogWindow) {
    RECT bounds{};
    ::GetWindowRect(listView_, &bounds);
    InsertColumn(listView_, 0, ScaleToScreenDpi(kProcessColumnWidth), "Process");
    InsertColumn(listView_, 1, ScaleToScreenDpi(kPidColumnWidth), "PID");
    InsertColumn(listView_, 2, bounds.right - bounds.left - ScaleToScreenDpi(kMaskColumnSpare),
                 "Affinity Mask");
    RefreshProcessList();
}

INT_PTR MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        // The window stays until the process ends; only the message loop stops.
        ::PostQuitMessage(0);
        return TRUE;
    case WM_NOTIFY:
        OnNotify(wParam, reinterpret_cast<const NMHDR*>(lParam));
        return TRUE;
    case WM_CONTEXTMENU:
        OnContextMenu();
        return TRUE;
    case WM_COMMAND:
        return HandleCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOMMAND:
        // FALSE leaves every other system command to the system.
        return trayIcon_.OnSysCommand(wParam) ? TRUE : FALSE;
    case kTrayNotifyMessage:
        trayIcon_.OnNotify(wParam, lParam);
        return TRUE;
    default:
        // WM_INITDIALOG included: the dialog manager sets no initial focus.
        return FALSE;
    }
}

INT_PTR MainWindow::HandleCommand(WORD, WORD commandId, HWND) {
    switch (commandId) {
    case ID_MOVE_TO_CPUS:
        OnMoveToCpus();
        break;
    case ID_ISOLATE_ON_CPUS:
        OnIsolateOnCpus();
        break;
    case IDC_REFRESH:
        RefreshProcessList();
        break;
    case IDC_RESET:
        OnReset();
        break;
    case IDC_MINIMIZE:
        OnMinimizeButton();
        break;
    case IDC_EXIT:
        OnExitButton();
        break;
    default:
        // IDOK and IDCANCEL too: Enter and Escape must not close the main window.
        break;
    }
    return 0;
}

void MainWindow::OnNotify(WPARAM controlId, const NMHDR* header) {
    if (controlId == IDC_PROCESS_LIST && header != nullptr && header->code == NM_RCLICK)
        menuAtCursor_ = true;
}

void MainWindow::OnContextMenu() {
    if (SelectedCount(listView_) < 1)
        return;
    POINT position = ContextMenuPosition();
    UniqueMenu menu = CreateContextMenu();
    // The chosen item arrives afterwards as WM_COMMAND.
    ::TrackPopupMenu(menu.get(), 0, position.x, position.y, 0, dialogWindow_, nullptr);
}

POINT MainWindow::ContextMenuPosition() {
    POINT position{};
    if (menuAtCursor_) {
        ::GetCursorPos(&position);
        menuAtCursor_ = false;
        return position;
    }
    RECT row{};
    row.left = LVIR_SELECTBOUNDS;
    ::SendMessageA(listView_, LVM_GETITEMRECT, NextSelectedRow(listView_, -1),
                   reinterpret_cast<LPARAM>(&row));
    position.x = row.left + kMenuOffsetX;
    position.y = row.top + kMenuOffsetY;
    ::ClientToScreen(listView_, &position);
    return position;
}

UniqueMenu MainWindow::CreateContextMenu() {
    UniqueMenu menu(::CreatePopupMenu());
    ::AppendMenuA(menu.get(), MF_STRING, ID_MOVE_TO_CPUS, "Move to CPU(s)...");
    ::AppendMenuA(menu.get(), MF_STRING, ID_ISOLATE_ON_CPUS, "Isolate on CPU(s)...");
    return menu;
}

void MainWindow::RefreshProcessList() {
    ProcessList processes;
    ::SendMessageA(listView_, WM_SETREDRAW, FALSE, 0);
    try {
        TakeProcessSnapshot(processes);
    } catch (const std::string& error) {
        ::MessageBoxA(dialogWindow_, error.c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
        // The rows of the last rebuild stay.
        ::SendMessageA(listView_, WM_SETREDRAW, TRUE, 0);
        return;
    }
    ::SendMessageA(listView_, LVM_DELETEALLITEMS, 0, 0);
    groupOf_.clear();
    const ProcessorGroups& groups = CurrentProcessPlatform().Groups();
    for (const ProcessEntry& entry : processes) {
        if (entry.placement && entry.placement->kind == PlacementKind::kOneGroup)
            groupOf_[entry.processId] = entry.placement->group;
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        // After the last row; the sorted style then picks the place by the name.
        item.iItem = 0x7FFFFFFF;
        item.pszText = const_cast<char*>(entry.fileName.c_str());
        item.lParam = static_cast<LPARAM>(entry.processId);
        int row = static_cast<int>(
            ::SendMessageA(listView_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (row == -1)
            continue;
        SetSubItemText(listView_, row, 1, std::to_string(entry.processId));
        SetSubItemText(listView_, row, 2,
                       entry.placement ? PlacementText(*entry.placement, groups)
                                       : ProcessMaskText(entry.affinityMask));
    }
    ::SendMessageA(listView_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(listView_, nullptr, TRUE);
}

std::vector<unsigned long> MainWindow::GetSelectedProcessIds() {
    int count = SelectedCount(listView_);
    std::vector<unsigned long> processIds;
    if (count <= 0)
        return processIds;
    processIds.reserve(count);
    int row = -1;
    for (int i = 0; i < count; ++i) {
        row = NextSelectedRow(listView_, row);
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        ::SendMessageA(listView_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        processIds.push_back(static_cast<unsigned long>(item.lParam));
    }
    return processIds;
}

int MainWindow::OnlyGroupOf(const std::vector<unsigned long>& processIds) const {
    int only = kEveryProcessorGroup;
    for (unsigned long processId : processIds) {
        const auto found = groupOf_.find(processId);
        if (found == groupOf_.end() || (only != kEveryProcessorGroup && found->second != only))
            return kEveryProcessorGroup;
        only = found->second;
    }
    return only;
}

void MainWindow::ApplyToSelection(bool (*operation)(int, unsigned long*, const ProcessorSet&,
                                                    GroupRefusals*)) {
    std::vector<unsigned long> processIds = GetSelectedProcessIds();
    if (processIds.empty())
        return;
    // The dialog always opens with no processor checked.
    ProcessorRequest request;
    request.onlyGroup = OnlyGroupOf(processIds);
    ProcessorSet processors;
    if (!ShowProcessorDialog(dialogWindow_, request, &processors))
        return;
    GroupRefusals refusals{};
    // The rebuilt list shows what the processes really got, so the result is not looked at.
    operation(static_cast<int>(processIds.size()), processIds.data(), processors, &refusals);
    RefreshProcessList();
    const std::string refused = GroupRefusalText(refusals);
    if (!refused.empty())
        ::MessageBoxA(dialogWindow_, refused.c_str(), kProgramTitle, MB_OK | MB_ICONWARNING);
}

void MainWindow::OnMoveToCpus() {
    ApplyToSelection(MoveProcessesOnto);
}

void MainWindow::OnIsolateOnCpus() {
    ApplyToSelection(IsolateProcessesOn);
}

void MainWindow::OnReset() {
    if (::MessageBoxA(dialogWindow_, kResetQuestion, kProgramTitle, MB_YESNO | MB_ICONWARNING) !=
        IDYES)
        return;
    ResetAllProcesses();
    RefreshProcessList();
}

// Posted, so that the button takes the caption's path through WM_SYSCOMMAND.
void MainWindow::OnMinimizeButton() {
    ::PostMessageA(dialogWindow_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void MainWindow::OnExitButton() {
    ::PostMessageA(dialogWindow_, WM_CLOSE, 0, 0);
}

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return BoundDialogProc<MainWindow>(window, message, wParam, lParam);
}

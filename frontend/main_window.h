// The program's only top-level window: a modeless dialog from template IDD_MAIN that lists the
// processes and turns the user's commands into calls of the back end.
#pragma once

#include "common/affinity_mask.h"
#include "engine/affinity.h"
#include "frontend/program_title.h"
#include "frontend/tray_icon.h"
#include "common/unique_handle.h"

#include <windows.h>

#include <map>
#include <vector>

class MainWindow {
  public:
    explicit MainWindow(HWND dialogWindow);
    // Virtual so that the dialog binding deletes it through the pointer it kept in the window.
    virtual ~MainWindow() = default;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    INT_PTR HandleCommand(WORD notificationCode, WORD commandId, HWND control);
    void OnNotify(WPARAM controlId, const NMHDR* header);
    void OnContextMenu();
    UniqueMenu CreateContextMenu();
    void RefreshProcessList();
    // The selected rows' process identifiers, top to bottom; empty when nothing is selected.
    std::vector<unsigned long> GetSelectedProcessIds();
    // The one processor group in which every listed process runs, or kEveryProcessorGroup.
    int OnlyGroupOf(const std::vector<unsigned long>& processIds) const;
    void OnMoveToCpus();
    void OnIsolateOnCpus();
    void OnReset();
    void OnMinimizeButton();
    void OnExitButton();
    // Asks for processors and hands them, with the selected processes, to a back-end operation;
    // then tells what the machine's processor groups kept from happening.
    void ApplyToSelection(bool (*operation)(int, unsigned long*, const ProcessorSet&,
                                            GroupRefusals*));
    POINT ContextMenuPosition();

    bool menuAtCursor_ = false;
    // On a machine of several processor groups, the group of each listed process that runs in
    // one, as the last rebuild of the list read it.
    std::map<unsigned long, int> groupOf_;
    HWND dialogWindow_ = nullptr;
    HWND listView_ = nullptr;
    TrayIcon trayIcon_;
};

// The dialog procedure of template IDD_MAIN; binds a MainWindow object to the window
// (dialog_binding.h).
INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The main window's life in the notification area: minimising hides the window behind an icon,
// a double click on the icon brings it back.
#include "main_window.h"

#include "frontend_platform.h"

#include <shellapi.h>

namespace {

// The record's first layout, which every shell understands.
NOTIFYICONDATAA IconRecord(HWND window) {
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    record.uID = TRAY_ICON_ID;
    return record;
}

} // namespace

bool MainWindow::OnSysCommand(WPARAM command, int, int) {
    // The whole value is compared: the system's own bits in the low four stay significant.
    if (command != SC_MINIMIZE)
        return false;
    NOTIFYICONDATAA record = IconRecord(dialogWindow_);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = trayIcon_;
    ::lstrcpyA(record.szTip, PROGRAM_TITLE);
    // Hidden even when the shell refuses the icon.
    CurrentFrontendPlatform().NotifyIcon(NIM_ADD, &record);
    ::ShowWindow(dialogWindow_, SW_HIDE);
    ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1),
                               static_cast<SIZE_T>(-1));
    return true;
}

void MainWindow::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage) {
    // The icon has no menu: single clicks, the right button and moves do nothing.
    if (iconId != TRAY_ICON_ID || mouseMessage != WM_LBUTTONDBLCLK)
        return;
    ::ShowWindow(dialogWindow_, SW_SHOW);
    ::SetForegroundWindow(dialogWindow_);
    NOTIFYICONDATAA record = IconRecord(dialogWindow_);
    CurrentFrontendPlatform().NotifyIcon(NIM_DELETE, &record);
}

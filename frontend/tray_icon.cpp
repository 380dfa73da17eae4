#include "frontend/tray_icon.h"

#include "frontend/frontend_platform.h"
#include "frontend/program_title.h"
#include "frontend/resource.h"

#include <shellapi.h>

namespace {

// The record's first layout, which every shell understands.
NOTIFYICONDATAA IconRecord(HWND window) {
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    record.uID = kTrayIconId;
    return record;
}

} // namespace

// A shared icon: the system releases it with the module.
TrayIcon::TrayIcon(HWND window)
    : window_(window), icon_(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN))) {
}

bool TrayIcon::OnSysCommand(WPARAM command) {
    // The whole value is compared: the system's own bits in the low four stay significant.
    if (command != SC_MINIMIZE)
        return false;
    NOTIFYICONDATAA record = IconRecord(window_);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kTrayNotifyMessage;
    record.hIcon = icon_;
    ::lstrcpyA(record.szTip, kProgramTitle);
    // Hidden even when the shell refuses the icon.
    CurrentFrontendPlatform().NotifyIcon(NIM_ADD, &record);
    ::ShowWindow(window_, SW_HIDE);
    ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1),
                               static_cast<SIZE_T>(-1));
    return true;
}

void TrayIcon::OnNotify(WPARAM iconId, LPARAM mouseMessage) {
    // The icon has no menu: single clicks, the right button and moves do nothing.
    if (iconId != kTrayIconId || mouseMessage != WM_LBUTTONDBLCLK)
        return;
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
    NOTIFYICONDATAA record = IconRecord(window_);
    CurrentFrontendPlatform().NotifyIcon(NIM_DELETE, &record);
}

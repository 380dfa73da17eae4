// The main window's life in the notification area: minimising hides the window behind an icon,
// a double click on the icon brings it back.
#pragma once

#include <windows.h>

// The icon's identifier and the message the shell sends the window about it.
constexpr UINT kTrayIconId = 31415;
constexpr UINT kTrayNotifyMessage = WM_USER + 1;

// The notification icon of one window, owned by that window's object.
class TrayIcon {
  public:
    // Loads the program's icon (IDI_MAIN); nothing is shown yet.
    explicit TrayIcon(HWND window);
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // For WM_SYSCOMMAND: on SC_MINIMIZE shows the icon, hides the window and returns true; every
    // other command is left to the system (false).
    bool OnSysCommand(WPARAM command);
    // For kTrayNotifyMessage: a double click on the icon shows the window again and removes the
    // icon; everything else does nothing.
    void OnNotify(WPARAM iconId, LPARAM mouseMessage);

  private:
    HWND window_;
    HICON icon_;
};

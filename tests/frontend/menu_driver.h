// Plays the user for the popup menus that the code under test opens on the test's thread: a CBT
// hook notes each menu window, and a thread timer then picks an item with the keyboard inside the
// menu's own modal loop, or closes the menu with Escape when the test expected none.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct ShownMenu {
    POINT position{};               // the menu window's top left corner, in screen coordinates
    std::vector<std::string> items; // the texts of the items, in order
    std::vector<UINT> ids;          // the command identifiers of the items, in order
};

class MenuDriver {
  public:
    MenuDriver();
    ~MenuDriver();
    MenuDriver(const MenuDriver&) = delete;
    MenuDriver& operator=(const MenuDriver&) = delete;

    // The next menu that opens: choose the item with this command identifier.
    void ThenChoose(UINT commandId);
    // The next menu that opens: close it with Escape.
    void ThenDismiss();

    const std::vector<ShownMenu>& shown() const { return shown_; }

  private:
    static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR timerId, DWORD);
    void Handle(HWND menuWindow);

    HHOOK hook_ = nullptr;
    std::deque<UINT> choices_; // 0 stands for Escape
    std::deque<HWND> opened_;
    std::vector<ShownMenu> shown_;
};

// Dispatches every message that is waiting on the test's thread, including those that the
// messages dispatched meanwhile post (a chosen menu item arrives as a posted WM_COMMAND). Stops at
// WM_QUIT and leaves it in the queue.
void PumpMessages();

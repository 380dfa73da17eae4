#include "menu_driver.h"

namespace {

thread_local MenuDriver* activeDriver = nullptr;

constexpr UINT kSettleMilliseconds = 50;

void PostKey(HWND window, WPARAM key) {
    ::PostMessageA(window, WM_KEYDOWN, key, 1);
    ::PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

bool IsSeparator(HMENU menu, int position) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    ::GetMenuItemInfoA(menu, position, TRUE, &info);
    return (info.fType & MFT_SEPARATOR) != 0;
}

} // namespace

MenuDriver::MenuDriver() {
    activeDriver = this;
    hook_ = ::SetWindowsHookExA(WH_CBT, CbtHook, nullptr, ::GetCurrentThreadId());
}

MenuDriver::~MenuDriver() {
    if (hook_ != nullptr)
        ::UnhookWindowsHookEx(hook_);
    activeDriver = nullptr;
}

void MenuDriver::ThenChoose(UINT commandId) {
    choices_.push_back(commandId);
}

void MenuDriver::ThenDismiss() {
    choices_.push_back(0);
}

LRESULT CALLBACK MenuDriver::CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && activeDriver != nullptr) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[16] = {};
        ::GetClassNameA(window, className, sizeof(className));
        // Popup menus, the window's system menu included, are windows of this class.
        if (lstrcmpA(className, "#32768") == 0) {
            activeDriver->opened_.push_back(window);
            ::SetTimer(nullptr, 0, kSettleMilliseconds, OnTimer);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK MenuDriver::OnTimer(HWND, UINT, UINT_PTR timerId, DWORD) {
    ::KillTimer(nullptr, timerId);
    MenuDriver* driver = activeDriver;
    if (driver == nullptr || driver->opened_.empty())
        return;
    HWND menuWindow = driver->opened_.front();
    driver->opened_.pop_front();
    if (::IsWindow(menuWindow))
        driver->Handle(menuWindow);
}

void MenuDriver::Handle(HWND menuWindow) {
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    RECT bounds{};
    ::GetWindowRect(menuWindow, &bounds);
    ShownMenu shown;
    shown.position = {bounds.left, bounds.top};
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        ::GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        shown.items.push_back(text);
        shown.ids.push_back(::GetMenuItemID(menu, i));
    }
    shown_.push_back(shown);

    UINT choice = 0;
    if (!choices_.empty()) {
        choice = choices_.front();
        choices_.pop_front();
    }
    int target = -1;
    for (int i = 0; i < count; ++i)
        if (choice != 0 && shown.ids[i] == choice)
            target = i;
    if (target < 0) {
        PostKey(menuWindow, VK_ESCAPE);
        return;
    }
    // The keyboard walks over the items that are not separators, from the highlighted one on.
    int highlighted = -1;
    for (int i = 0; i < count; ++i)
        if (::GetMenuState(menu, i, MF_BYPOSITION) & MF_HILITE)
            highlighted = i;
    int steps = 0;
    for (int i = highlighted + 1; i <= target; ++i)
        if (!IsSeparator(menu, i))
            ++steps;
    for (int i = 0; i < steps; ++i)
        PostKey(menuWindow, VK_DOWN);
    PostKey(menuWindow, VK_RETURN);
}

void PumpMessages() {
    MSG message{};
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the test to find.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

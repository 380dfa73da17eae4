#include "modal_driver.h"

namespace {

// One driver per test thread at a time; the hook and timer procedures find it here.
thread_local ModalDriver* activeDriver = nullptr;

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr UINT kSettleMilliseconds = 50;
constexpr int kMaxWaits = 40;

bool IsDialogClass(HWND window) {
    char className[32] = {};
    ::GetClassNameA(window, className, sizeof(className));
    return lstrcmpA(className, "#32770") == 0;
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

UINT IconKind(HICON icon) {
    struct Known {
        LPCSTR id;
        UINT kind;
    };
    const Known known[] = {{IDI_HAND, MB_ICONERROR},
                           {IDI_EXCLAMATION, MB_ICONWARNING},
                           {IDI_ASTERISK, MB_ICONINFORMATION},
                           {IDI_QUESTION, MB_ICONQUESTION}};
    for (const Known& k : known)
        if (icon != nullptr && icon == ::LoadIconA(nullptr, k.id))
            return k.kind;
    return 0;
}

} // namespace

ShownDialog ReadDialog(HWND dialog) {
    ShownDialog shown;
    shown.caption = WindowText(dialog);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        ::GetClassNameA(child, className, sizeof(className));
        const LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(className, "Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON)
                shown.icon =
                    IconKind(reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0)));
            else if (::GetDlgCtrlID(child) == kMessageBoxTextId)
                shown.text = WindowText(child);
        } else if (lstrcmpiA(className, "Button") == 0) {
            const LONG type = style & BS_TYPEMASK;
            if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
                shown.buttons.push_back(::GetDlgCtrlID(child));
        }
    }
    return shown;
}

ModalDriver::ModalDriver() {
    activeDriver = this;
    hook_ = ::SetWindowsHookExA(WH_CBT, CbtHook, nullptr, ::GetCurrentThreadId());
}

ModalDriver::~ModalDriver() {
    if (hook_ != nullptr)
        ::UnhookWindowsHookEx(hook_);
    activeDriver = nullptr;
}

void ModalDriver::Then(Action action) {
    actions_.push_back(std::move(action));
}

LRESULT CALLBACK ModalDriver::CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && activeDriver != nullptr) {
        HWND window = reinterpret_cast<HWND>(wParam);
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        const bool topLevel = (create->lpcs->style & WS_CHILD) == 0;
        // The class atom of dialogs is 32770; the name is only known once the window exists.
        if (topLevel && create->lpcs->lpszClass == MAKEINTATOM(32770)) {
            activeDriver->opened_.push_back(window);
            ::SetTimer(nullptr, 0, kSettleMilliseconds, OnTimer);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK ModalDriver::OnTimer(HWND, UINT, UINT_PTR timerId, DWORD) {
    ::KillTimer(nullptr, timerId);
    ModalDriver* driver = activeDriver;
    if (driver == nullptr || driver->opened_.empty())
        return;
    HWND dialog = driver->opened_.front();
    // A modal dialog is shown only when its loop first runs idle, which a due timer can precede:
    // wait for the user to be able to see it.
    if (::IsWindow(dialog) && !::IsWindowVisible(dialog) && ++driver->waits_ < kMaxWaits) {
        ::SetTimer(nullptr, 0, kSettleMilliseconds, OnTimer);
        return;
    }
    driver->waits_ = 0;
    driver->opened_.pop_front();
    if (::IsWindow(dialog) && IsDialogClass(dialog))
        driver->Handle(dialog);
}

void ModalDriver::Handle(HWND dialog) {
    ShownDialog shown = ReadDialog(dialog);
    if (actions_.empty()) {
        // Nobody expected this window: record it and get it out of the way so the test goes on.
        shown.expected = false;
        shown_.push_back(shown);
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    shown_.push_back(shown);
    Action action = std::move(actions_.front());
    actions_.pop_front();
    action(dialog);
}

ModalDriver::Action ModalDriver::Click(int controlId) {
    return [controlId](HWND dialog) {
        if (HWND button = ::GetDlgItem(dialog, controlId))
            ::PostMessageA(button, BM_CLICK, 0, 0);
        else // message boxes answer IDCANCEL even without a Cancel button
            ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), 0);
    };
}

ModalDriver::Action ModalDriver::PressEscape() {
    return [](HWND dialog) {
        HWND target = ::GetFocus();
        if (target == nullptr || (target != dialog && !::IsChild(dialog, target)))
            target = dialog;
        ::PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1);
        ::PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    };
}

ModalDriver::Action ModalDriver::CloseBox() {
    return [](HWND dialog) { ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
}

ModalDriver::Action ModalDriver::Check(std::vector<int> boxIds, int thenClick) {
    return [boxIds, thenClick](HWND dialog) {
        for (int id : boxIds)
            ::SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
        Click(thenClick)(dialog);
    };
}

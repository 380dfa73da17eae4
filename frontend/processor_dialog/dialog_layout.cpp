#include "frontend/processor_dialog/dialog_layout.h"

DialogLayout::DialogLayout(HWND dialog)
    : dialog_(dialog), font_(static_cast<WPARAM>(::SendMessageA(dialog, WM_GETFONT, 0, 0))) {}

RECT DialogLayout::PlaceOf(HWND control) const {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

RECT DialogLayout::FromUnits(const RECT& units) const {
    RECT pixels = units;
    ::MapDialogRect(dialog_, &pixels);
    return pixels;
}

HWND DialogLayout::Add(const DialogControl& control, const RECT& place, HWND previous) const {
    const HWND made = ::CreateWindowExA(
        WS_EX_NOPARENTNOTIFY | control.extendedStyle, control.className, control.text,
        WS_CHILD | WS_VISIBLE | control.style, place.left, place.top, place.right - place.left,
        place.bottom - place.top, dialog_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(dialog_, GWLP_HINSTANCE)), nullptr);
    if (made == nullptr)
        return nullptr;
    ::SendMessageA(made, WM_SETFONT, font_, FALSE);
    // The z-order is the tab order; a new control starts at its end.
    ::SetWindowPos(made, previous, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
    return made;
}

void DialogLayout::MoveRight(int controlId, LONG distance) const {
    const HWND control = ::GetDlgItem(dialog_, controlId);
    const RECT place = PlaceOf(control);
    ::SetWindowPos(control, nullptr, place.left + distance, place.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// One object per dialog window, bound to the window for its whole life.
#pragma once

#include <windows.h>

#include <new>
#include <type_traits>

// What a dialog ended as a cancel returns from DialogBoxParam.
constexpr INT_PTR kDialogCancelled = 0;

// The object bound to `window`, or null before WM_INITDIALOG, after WM_DESTROY and when it could
// not be made.
template <typename Object> Object* BoundDialogObject(HWND window) {
    return reinterpret_cast<Object*>(::GetWindowLongPtrA(window, DWLP_USER));
}

// The dialog procedure of dialogs served by an Object: the object is made at WM_INITDIALOG from
// the window (and the creation parameter, when its constructor takes one), kept in the window's
// DWLP_USER slot, handed every later message through HandleMessage and deleted at WM_DESTROY.
// Without its object a dialog could never be closed, so one whose object cannot be made is ended
// as a cancel before it is shown.
template <typename Object>
INT_PTR CALLBACK BoundDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        Object* made = nullptr;
        if constexpr (std::is_constructible_v<Object, HWND, LPARAM>)
            made = new (std::nothrow) Object(window, lParam);
        else
            made = new (std::nothrow) Object(window);
        ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(made));
        if (made == nullptr) {
            ::EndDialog(window, kDialogCancelled);
            return FALSE;
        }
    }
    Object* object = BoundDialogObject<Object>(window);
    if (object == nullptr)
        return FALSE;
    if (message == WM_DESTROY) {
        delete object;
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        return FALSE;
    }
    return object->HandleMessage(message, wParam, lParam);
}

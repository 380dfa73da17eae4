// The baseline for start-up: the least a dialog program can do to show a window, started and
// measured exactly like the product. Built twice: bare, and loading the same libraries as the
// product (see minimal_dialog_preparation.h), which tells loading apart from the product's work.
#include "minimal_dialog_preparation.h"

#include <windows.h>

namespace {

constexpr int kMinimalDialog = 1;

INT_PTR CALLBACK MinimalDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        ::PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    PrepareMinimalDialog();
    HWND dialog = ::CreateDialogParamA(instance, MAKEINTRESOURCEA(kMinimalDialog), nullptr,
                                       MinimalDialogProc, 0);
    if (dialog == nullptr)
        return 1;
    ::ShowWindow(dialog, SW_SHOW);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}

// Sets the scene of the README's picture of the processor dialog: the program's main window from
// its own template, "Move to CPU(s)..." on its first row, the dialog's selector on the first
// last-level cache and its drop-down open. It then writes READY_FILE (the X display and the
// screen rectangle of the dialog and its open list, "DISPLAY WIDTHxHEIGHT+X+Y") and keeps the
// scene until DONE_FILE exists, so that processor-choices-screenshot.sh can take the picture.
//
//   processor_choices_shot.exe READY_FILE DONE_FILE
#include "frontend/main_window.h"
#include "frontend/processor_dialog/processor_dialog.h"
#include "frontend/resource.h"
#include "frontend/startup.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
constexpr UINT kPollMilliseconds = 100;
constexpr int kSceneTimeoutPolls = 600;
constexpr char kShownEntry[] = "L3 cache 0";

const char* readyFile = nullptr;
const char* doneFile = nullptr;
HWND sceneDialog = nullptr;
int polls = 0;

RECT Union(RECT a, const RECT& b) {
    a.left = b.left < a.left ? b.left : a.left;
    a.top = b.top < a.top ? b.top : a.top;
    a.right = b.right > a.right ? b.right : a.right;
    a.bottom = b.bottom > a.bottom ? b.bottom : a.bottom;
    return a;
}

void WriteReady(HWND dialog, HWND selector) {
    RECT scene{};
    ::GetWindowRect(dialog, &scene);
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof(combo);
    if (::GetComboBoxInfo(selector, &combo)) {
        RECT list{};
        ::GetWindowRect(combo.hwndList, &list);
        scene = Union(scene, list);
    }
    char display[64] = {};
    ::GetEnvironmentVariableA("DISPLAY", display, sizeof(display));
    if (FILE* ready = std::fopen(readyFile, "w")) {
        std::fprintf(ready, "%s %ldx%ld+%ld+%ld\n", display, scene.right - scene.left,
                     scene.bottom - scene.top, scene.left, scene.top);
        std::fclose(ready);
    }
}

void CALLBACK OnPoll(HWND, UINT, UINT_PTR timer, DWORD) {
    const DWORD done = ::GetFileAttributesA(doneFile);
    if (done == INVALID_FILE_ATTRIBUTES && ++polls < kSceneTimeoutPolls)
        return;
    ::KillTimer(nullptr, timer);
    ::SendMessageA(::GetDlgItem(sceneDialog, kProcessorSelectorId), CB_SHOWDROPDOWN, FALSE, 0);
    ::PostMessageA(sceneDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

// Runs inside the dialog's modal loop once it is shown.
void CALLBACK OnDialogShown(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    const HWND selector = ::GetDlgItem(sceneDialog, kProcessorSelectorId);
    if (selector == nullptr) {
        std::fprintf(stderr, "the dialog has no selector on this machine\n");
        ::PostMessageA(sceneDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    const auto entry = ::SendMessageA(selector, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(kShownEntry));
    ::SendMessageA(selector, CB_SETCURSEL, entry, 0);
    ::SendMessageA(sceneDialog, WM_COMMAND, MAKEWPARAM(kProcessorSelectorId, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(selector));
    ::SetFocus(selector);
    ::SendMessageA(selector, CB_SHOWDROPDOWN, TRUE, 0);
    ::UpdateWindow(sceneDialog);
    WriteReady(sceneDialog, selector);
    ::SetTimer(nullptr, 0, kPollMilliseconds, OnPoll);
}

LRESULT CALLBACK OnWindowCreated(int code, WPARAM wParam, LPARAM lParam) {
    const auto* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
    if (code == HCBT_CREATEWND && sceneDialog == nullptr && (create->lpcs->style & WS_CHILD) == 0 &&
        create->lpcs->lpszClass == MAKEINTATOM(32770) && create->lpcs->hwndParent != nullptr) {
        sceneDialog = reinterpret_cast<HWND>(wParam);
        // Late enough for the modal loop to have shown it and painted it.
        ::SetTimer(nullptr, 0, 500, OnDialogShown);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: processor_choices_shot READY_FILE DONE_FILE\n");
        return 2;
    }
    readyFile = argv[1];
    doneFile = argv[2];
    ::InitCommonControls();
    const HWND window = CreateMainWindow();
    if (window == nullptr) {
        std::fprintf(stderr, "cannot create the main window, error %lu\n", ::GetLastError());
        return 1;
    }
    LVITEMA selected{};
    selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    selected.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendDlgItemMessageA(window, IDC_PROCESS_LIST, LVM_SETITEMSTATE, 0,
                          reinterpret_cast<LPARAM>(&selected));
    const HHOOK hook =
        ::SetWindowsHookExA(WH_CBT, OnWindowCreated, nullptr, ::GetCurrentThreadId());
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_MOVE_TO_CPUS, 0), 0);
    ::UnhookWindowsHookEx(hook);
    ::DestroyWindow(window);
    return sceneDialog != nullptr && polls < kSceneTimeoutPolls ? 0 : 1;
}

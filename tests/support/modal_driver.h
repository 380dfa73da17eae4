// Plays the user for the modal windows (message boxes and dialogs) that the code under test opens
// on the test's own thread. A CBT hook notes each new dialog window; a thread timer then runs,
// inside the window's own modal loop, the next action that the test queued. Each window's caption,
// text, icon and buttons are recorded so that tests can assert on what was shown.
// Every window takes exactly one action, in the order the windows open; a window that an action
// opens itself takes the next one, so that action must also end its own window. A window for which
// no action is queued is recorded as unexpected and cancelled, so a test never blocks on it.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct ShownDialog {
    std::string caption;
    std::string text; // the message of a message box; empty for other dialogs
    UINT icon = 0;    // MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION, MB_ICONQUESTION or 0
    std::vector<int> buttons; // identifiers of the push buttons, in creation order
    bool expected = true;     // false when no action was queued for it (it was cancelled)
};

class ModalDriver {
  public:
    using Action = std::function<void(HWND dialog)>;

    ModalDriver();
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // Queues what the user does with the next dialog window that opens.
    void Then(Action action);

    const std::vector<ShownDialog>& shown() const { return shown_; }
    size_t pendingActions() const { return actions_.size(); }

    // Actions.
    static Action Click(int controlId); // clicks a button (posted BM_CLICK)
    static Action PressEscape();        // the Escape key, through the dialog manager
    static Action CloseBox();           // the caption's close box (SC_CLOSE)
    static Action Check(std::vector<int> boxIds, int thenClick); // ticks boxes, then clicks

  private:
    static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR timerId, DWORD);
    void Handle(HWND dialog);

    HHOOK hook_ = nullptr;
    std::deque<Action> actions_;
    std::deque<HWND> opened_;
    int waits_ = 0;
    std::vector<ShownDialog> shown_;
};

// What a dialog window shows, read from its controls.
ShownDialog ReadDialog(HWND dialog);

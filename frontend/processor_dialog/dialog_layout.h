// The one helper through which a dialog adds controls at run time beside those of its template,
// so that each stands where the template's units say and looks like the template's own.
#pragma once

#include <windows.h>

// What a control is; it is always a visible child.
struct DialogControl {
    int id = 0;
    const char* className = nullptr;
    const char* text = nullptr;
    DWORD style = 0;         // besides WS_CHILD | WS_VISIBLE
    DWORD extendedStyle = 0; // besides WS_EX_NOPARENTNOTIFY, which the template's controls have
};

class DialogLayout {
  public:
    // Asks the dialog for its font once.
    explicit DialogLayout(HWND dialog);

    // Where the control stands in the dialog's client area, in pixels.
    RECT PlaceOf(HWND control) const;
    RECT PlaceOf(int controlId) const { return PlaceOf(::GetDlgItem(dialog_, controlId)); }

    // A rectangle in the template's dialog units, in the dialog's pixels.
    RECT FromUnits(const RECT& units) const;

    // Makes the control at `place` (pixels) with the dialog's font and puts it in the tab order
    // right after `previous`. Null when the system refuses it.
    HWND Add(const DialogControl& control, const RECT& place, HWND previous) const;

    // Moves the control `distance` pixels to the right.
    void MoveRight(int controlId, LONG distance) const;

  private:
    HWND dialog_;
    WPARAM font_;
};

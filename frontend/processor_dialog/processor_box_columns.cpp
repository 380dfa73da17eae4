#include "frontend/processor_dialog/processor_box_columns.h"

#include "frontend/resource.h"

#include <string>

namespace {
constexpr int kTemplateBoxes = IDC_CPU_LAST - IDC_CPU_FIRST + 1;
constexpr int kBoxesPerColumn = 8;
constexpr int kLastColumnTop = IDC_CPU_LAST - kBoxesPerColumn + 1;

RECT PlaceInDialog(HWND dialog, HWND control) {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

void MoveRight(HWND dialog, int controlId, int distance) {
    const HWND control = ::GetDlgItem(dialog, controlId);
    const RECT place = PlaceInDialog(dialog, control);
    ::SetWindowPos(control, nullptr, place.left + distance, place.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND AddBox(HWND dialog, int processor, HWND model, int shift) {
    const RECT place = PlaceInDialog(dialog, model);
    const std::string text = "CPU " + std::to_string(processor);
    const HWND box = ::CreateWindowExA(
        static_cast<DWORD>(::GetWindowLongA(model, GWL_EXSTYLE)), "Button", text.c_str(),
        static_cast<DWORD>(::GetWindowLongA(model, GWL_STYLE)), place.left + shift, place.top,
        place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CPU_FIRST + processor)),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), nullptr);
    ::SendMessageA(box, WM_SETFONT, ::SendMessageA(model, WM_GETFONT, 0, 0), FALSE);
    return box;
}

// Wider than the template, the dialog could reach past the screen's edge.
void KeepOnWorkArea(HWND dialog) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    RECT window{};
    if (!::GetMonitorInfoA(::MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !::GetWindowRect(dialog, &window))
        return;
    const LONG overhang = window.right - monitor.rcWork.right;
    if (overhang <= 0)
        return;
    const LONG left =
        window.left - overhang > monitor.rcWork.left ? window.left - overhang : monitor.rcWork.left;
    ::SetWindowPos(dialog, nullptr, left, window.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
} // namespace

int ProcessorBoxCount(AffinityMask present) {
    for (int processor = kTemplateBoxes; processor < kMaskProcessors; ++processor) {
        if ((present & ProcessorBit(processor)) != 0)
            return kMaskProcessors;
    }
    return kTemplateBoxes;
}

void AddProcessorBoxColumns(HWND dialog, int count) {
    if (count <= kTemplateBoxes)
        return;
    // The template's last two columns give the pitch; its last column is the model of each row.
    const int pitch =
        PlaceInDialog(dialog, ::GetDlgItem(dialog, kLastColumnTop)).left -
        PlaceInDialog(dialog, ::GetDlgItem(dialog, kLastColumnTop - kBoxesPerColumn)).left;
    HWND previous = ::GetDlgItem(dialog, IDC_CPU_LAST);
    for (int processor = kTemplateBoxes; processor < count; ++processor) {
        const int column = (processor - kTemplateBoxes) / kBoxesPerColumn + 1;
        const HWND model = ::GetDlgItem(dialog, kLastColumnTop + processor % kBoxesPerColumn);
        const HWND box = AddBox(dialog, processor, model, column * pitch);
        // The z-order is the tab order: after the previous box, before OK.
        ::SetWindowPos(box, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = box;
    }

    const int growth = (count - kTemplateBoxes + kBoxesPerColumn - 1) / kBoxesPerColumn * pitch;
    RECT window{};
    ::GetWindowRect(dialog, &window);
    ::SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + growth,
                   window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    MoveRight(dialog, IDOK, growth);
    MoveRight(dialog, IDCANCEL, growth);
    KeepOnWorkArea(dialog);
}

#include "frontend/processor_dialog/processor_selector.h"

#include "frontend/processor_dialog/processor_box_tooltips.h"
#include "frontend/processor_dialog/processor_topology.h"
#include "frontend/resource.h"

#include <bitset>
#include <string>
#include <utility>

namespace {
constexpr int kTemplateProcessors = IDC_CPU_LAST - IDC_CPU_FIRST + 1;

// In dialog units of the template: the label starts where the template's text does, the list
// ends a button gap left of OK, and the open list shows about ten entries.
constexpr int kLeftMargin = 7;
constexpr int kLabelWidth = 26;
constexpr int kLabelHeight = 8;
constexpr int kGap = 4;
constexpr int kOpenListHeight = 110;
constexpr int kAverageCharacterWidth = 4;
constexpr int kScrollBarWidth = 10;
constexpr UINT_PTR kTooltipTimer = 0x7470;
// No tip shows before the pointer has rested on a box for the initial delay (half a second by
// default), so tooltips made this long after the dialog shows are in time for any of them.
constexpr UINT kTooltipDelayMilliseconds = 100;

// Lengths in dialog units in the dialog's pixels.
int HorizontalUnits(HWND dialog, int units) {
    RECT rect{0, 0, units, 0};
    ::MapDialogRect(dialog, &rect);
    return rect.right;
}

int VerticalUnits(HWND dialog, int units) {
    RECT rect{0, 0, 0, units};
    ::MapDialogRect(dialog, &rect);
    return rect.bottom;
}

RECT PlaceInDialog(HWND dialog, HWND control) {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

HWND AddControl(HWND dialog, int id, const char* className, const char* text, DWORD style,
                const RECT& place) {
    const HWND control = ::CreateWindowExA(
        0, className, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top,
        place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), nullptr);
    if (control != nullptr)
        ::SendMessageA(control, WM_SETFONT, ::SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    return control;
}

// The z-order is the tab order.
void PlaceAfter(HWND control, HWND previous) {
    ::SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The open list is as wide as its longest entry, never narrower than the closed one.
void WidenOpenList(HWND dialog, HWND list, const std::vector<ProcessorChoice>& choices) {
    size_t longest = 0;
    for (const ProcessorChoice& choice : choices)
        longest = choice.text.size() > longest ? choice.text.size() : longest;
    const int width = HorizontalUnits(dialog, static_cast<int>(longest) * kAverageCharacterWidth +
                                                  kScrollBarWidth);
    ::SendMessageA(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width), 0);
}
} // namespace

void ProcessorSelector::Attach(HWND dialog, AffinityMask present, int boxCount) {
    dialog_ = dialog;
    boxCount_ = boxCount;
    present_ = present;
    topology_ = ReadProcessorTopology(present);
    tooltipsDue_ = topology_.known;
    choices_ = ProcessorChoices(topology_, present);
    const bool wide = std::bitset<kMaskProcessors>(present).count() > kTemplateProcessors;
    if (choices_.empty() || (choices_.size() == 1 && !wide)) {
        choices_.clear();
        return;
    }

    const RECT ok = PlaceInDialog(dialog, ::GetDlgItem(dialog, IDOK));
    const LONG labelHeight = VerticalUnits(dialog, kLabelHeight);
    const LONG labelTop = ok.top + (ok.bottom - ok.top - labelHeight) / 2;
    const LONG labelLeft = HorizontalUnits(dialog, kLeftMargin);
    const RECT labelPlace{labelLeft, labelTop, labelLeft + HorizontalUnits(dialog, kLabelWidth),
                          labelTop + labelHeight};
    const RECT listPlace{labelPlace.right, ok.top, ok.left - HorizontalUnits(dialog, kGap),
                         ok.top + VerticalUnits(dialog, kOpenListHeight)};
    const HWND label =
        AddControl(dialog, kProcessorSelectorLabelId, "Static", "Select:", SS_LEFT, labelPlace);
    list_ = AddControl(dialog, kProcessorSelectorId, "ComboBox", nullptr,
                       WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, listPlace);
    if (label == nullptr || list_ == nullptr) {
        choices_.clear();
        return;
    }
    for (const ProcessorChoice& choice : choices_)
        ::SendMessageA(list_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.text.c_str()));
    WidenOpenList(dialog, list_, choices_);
    PlaceAfter(label, ::GetDlgItem(dialog, IDC_CPU_FIRST + boxCount - 1));
    PlaceAfter(list_, label);
}

bool ProcessorSelector::HandleMessage(UINT message, WPARAM wParam) {
    if (message == WM_SHOWWINDOW && wParam != FALSE && tooltipsDue_) {
        ::SetTimer(dialog_, kTooltipTimer, kTooltipDelayMilliseconds, nullptr);
        return false;
    }
    if (message == WM_TIMER && wParam == kTooltipTimer) {
        ::KillTimer(dialog_, kTooltipTimer);
        if (std::exchange(tooltipsDue_, false))
            AddProcessorBoxTooltips(dialog_, topology_, present_, boxCount_);
        return true;
    }
    return false;
}

bool ProcessorSelector::OnCommand(WORD notificationCode, WORD commandId) {
    if (list_ == nullptr)
        return false;
    if (commandId == kProcessorSelectorId && notificationCode == CBN_SELCHANGE) {
        Choose(static_cast<int>(::SendMessageA(list_, CB_GETCURSEL, 0, 0)));
        return true;
    }
    if (commandId >= IDC_CPU_FIRST && commandId < IDC_CPU_FIRST + boxCount_ &&
        notificationCode == BN_CLICKED) {
        ::SendMessageA(list_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return true;
    }
    return false;
}

void ProcessorSelector::Choose(int index) {
    if (index < 0 || index >= static_cast<int>(choices_.size()))
        return;
    const AffinityMask chosen = choices_[index].processors;
    for (int k = 0; k < boxCount_; ++k)
        ::CheckDlgButton(dialog_, IDC_CPU_FIRST + k,
                         (chosen & ProcessorBit(k)) != 0 ? BST_CHECKED : BST_UNCHECKED);
}

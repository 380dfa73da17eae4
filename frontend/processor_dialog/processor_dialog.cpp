#include "frontend/processor_dialog/processor_dialog.h"

#include "common/dialog_binding.h"
#include "engine/affinity.h"
#include "frontend/processor_dialog/dialog_layout.h"
#include "frontend/processor_dialog/processor_choices.h"
#include "frontend/processor_dialog/processor_topology.h"
#include "frontend/program_title.h"
#include "frontend/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {
constexpr INT_PTR kConfirmed = 1;

constexpr int kTemplateBoxes = IDC_CPU_LAST - IDC_CPU_FIRST + 1;
constexpr int kBoxesPerColumn = 8;
constexpr int kLastColumnTop = IDC_CPU_LAST - kBoxesPerColumn + 1;

// The selector in the template's dialog units: the label starts where the template's text does
// and the list ends a button gap left of OK.
constexpr int kLeftMargin = 7;
constexpr int kLabelWidth = 26;
constexpr int kLabelHeight = 8;
constexpr int kGap = 4;
constexpr int kAverageCharacterWidth = 4;
constexpr int kScrollBarWidth = 10;
// The open list shows every entry up to this many and scrolls beyond.
constexpr int kOpenListEntries = 30;

// No tip shows before the pointer has rested on a box for the initial delay (half a second by
// default), so tooltips made this long after the dialog shows are in time for any of them.
constexpr UINT kTooltipDelayMilliseconds = 100;

// How many processor boxes the dialog offers on a machine with these processors: the template's
// 32 when none above 31 is present, else one for every processor a mask can name.
int BoxCount(AffinityMask present) {
    for (int processor = kTemplateBoxes; processor < kMaskProcessors; ++processor)
        if ((present & ProcessorBit(processor)) != 0)
            return kMaskProcessors;
    return kTemplateBoxes;
}

// Lives in ShowProcessorDialog's frame while the modal dialog runs.
struct ProcessorDialogParameters {
    AffinityMask initialMask;
    AffinityMask* resultMask;
};

// One open processor dialog, bound to its window (dialog_binding.h); `parameter` points to the
// ProcessorDialogParameters of ShowProcessorDialog. It owns what it adds to the template: the
// boxes of processors above 31, the selector and the tooltips.
class ProcessorDialog {
  public:
    ProcessorDialog(HWND window, LPARAM parameter)
        : ProcessorDialog(window, *reinterpret_cast<const ProcessorDialogParameters*>(parameter)) {}
    ProcessorDialog(HWND window, const ProcessorDialogParameters& parameters)
        : dialogWindow_(window), resultMask_(parameters.resultMask), layout_(window) {
        InitCheckBoxes(parameters.initialMask);
    }
    virtual ~ProcessorDialog() = default;
    ProcessorDialog(const ProcessorDialog&) = delete;
    ProcessorDialog& operator=(const ProcessorDialog&) = delete;

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_INITDIALOG:
            return TRUE; // the dialog manager focuses the first box that can take it
        case WM_COMMAND:
            return HandleCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        case WM_SHOWWINDOW:
            if (wParam != FALSE && tooltipsDue_)
                ::SetTimer(dialogWindow_, kProcessorTooltipTimer, kTooltipDelayMilliseconds,
                           nullptr);
            return FALSE;
        case WM_TIMER:
            if (wParam != kProcessorTooltipTimer)
                return FALSE;
            ::KillTimer(dialogWindow_, kProcessorTooltipTimer);
            if (std::exchange(tooltipsDue_, false))
                AddTooltips();
            return TRUE;
        default:
            return FALSE;
        }
    }

  private:
    // A check box toggles itself; only the two buttons and the selector need us.
    INT_PTR HandleCommand(WORD notificationCode, WORD commandId, HWND /*control*/) {
        switch (commandId) {
        case IDOK:
            OnOk();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        case kProcessorSelectorId:
            if (notificationCode != CBN_SELCHANGE || list_ == nullptr)
                return FALSE;
            Choose(static_cast<int>(::SendMessageA(list_, CB_GETCURSEL, 0, 0)));
            return TRUE;
        default:
            // A box ticked or unticked by hand clears the list's choice.
            if (list_ == nullptr || notificationCode != BN_CLICKED || commandId < IDC_CPU_FIRST ||
                commandId >= IDC_CPU_FIRST + boxCount_)
                return FALSE;
            ::SendMessageA(list_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            return TRUE;
        }
    }

    // Tested bit by bit, so machines whose processors are not numbered 0 to N-1 get exactly
    // their own boxes enabled. A machine with processors above 31 gets boxes for them first.
    void InitCheckBoxes(AffinityMask initialMask) {
        present_ = GenerateAllProcessorsMask();
        boxCount_ = BoxCount(present_);
        AddBoxColumns();
        for (int k = 0; k < boxCount_; ++k) {
            const AffinityMask bit = ProcessorBit(k);
            if ((present_ & bit) == 0)
                ::EnableWindow(::GetDlgItem(dialogWindow_, IDC_CPU_FIRST + k), FALSE);
            else if ((initialMask & bit) != 0)
                ::CheckDlgButton(dialogWindow_, IDC_CPU_FIRST + k, BST_CHECKED);
        }
        topology_ = ReadProcessorTopology(present_);
        tooltipsDue_ = topology_.known;
        choices_ = ProcessorChoices(topology_, present_);
        // More than 32 processors are worth "All processors" alone.
        const bool many = ProcessorCount(present_) > kTemplateBoxes;
        if (choices_.size() > 1 || (many && !choices_.empty()))
            AddSelector();
        else
            choices_.clear();
    }

    // Columns of eight like the template's last column, each one column pitch further right, in
    // tab order after "CPU 31". The dialog widens by those columns, OK and Cancel keep their
    // place at its right edge, and it is kept on its monitor's work area.
    void AddBoxColumns() {
        if (boxCount_ <= kTemplateBoxes)
            return;
        // The template's last two columns give the pitch; its last column is the model of each
        // row.
        const LONG pitch = layout_.PlaceOf(kLastColumnTop).left -
                           layout_.PlaceOf(kLastColumnTop - kBoxesPerColumn).left;
        HWND previous = ::GetDlgItem(dialogWindow_, IDC_CPU_LAST);
        for (int processor = kTemplateBoxes; processor < boxCount_; ++processor) {
            const LONG shift = ((processor - kTemplateBoxes) / kBoxesPerColumn + 1) * pitch;
            const HWND model =
                ::GetDlgItem(dialogWindow_, kLastColumnTop + processor % kBoxesPerColumn);
            RECT place = layout_.PlaceOf(model);
            ::OffsetRect(&place, shift, 0);
            const std::string text = "CPU " + std::to_string(processor);
            const DialogControl box{IDC_CPU_FIRST + processor, "Button", text.c_str(),
                                    static_cast<DWORD>(::GetWindowLongA(model, GWL_STYLE)),
                                    static_cast<DWORD>(::GetWindowLongA(model, GWL_EXSTYLE))};
            if (const HWND made = layout_.Add(box, place, previous))
                previous = made;
        }

        const LONG growth =
            (boxCount_ - kTemplateBoxes + kBoxesPerColumn - 1) / kBoxesPerColumn * pitch;
        RECT window{};
        ::GetWindowRect(dialogWindow_, &window);
        ::SetWindowPos(dialogWindow_, nullptr, 0, 0, window.right - window.left + growth,
                       window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        layout_.MoveRight(IDOK, growth);
        layout_.MoveRight(IDCANCEL, growth);
        KeepOnWorkArea();
    }

    // Wider than the template, the dialog could reach past the screen's edge.
    void KeepOnWorkArea() {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        RECT window{};
        if (!::GetMonitorInfoA(::MonitorFromWindow(dialogWindow_, MONITOR_DEFAULTTONEAREST),
                               &monitor) ||
            !::GetWindowRect(dialogWindow_, &window))
            return;
        const LONG overhang = window.right - monitor.rcWork.right;
        if (overhang <= 0)
            return;
        const LONG left = std::max(window.left - overhang, monitor.rcWork.left);
        ::SetWindowPos(dialogWindow_, nullptr, left, window.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // "Select:" and the drop-down list of the choices on the bottom row, left of OK, in tab
    // order after the last box. The list is made closed and stays so: the control sizes its open
    // list to its entries when it opens (CB_SETMINVISIBLE, common controls 6, which the
    // program's manifest asks for), so no resize of the control and its pop-up list follows.
    void AddSelector() {
        const RECT ok = layout_.PlaceOf(IDOK);
        const RECT units =
            layout_.FromUnits({kLeftMargin, 0, kLeftMargin + kLabelWidth, kLabelHeight});
        const LONG labelTop = ok.top + (ok.bottom - ok.top - units.bottom) / 2;
        const RECT labelPlace{units.left, labelTop, units.right, labelTop + units.bottom};
        const HWND label =
            layout_.Add({kProcessorSelectorLabelId, "Static", "Select:", SS_LEFT}, labelPlace,
                        ::GetDlgItem(dialogWindow_, IDC_CPU_FIRST + boxCount_ - 1));
        const int shown = std::min(static_cast<int>(choices_.size()), kOpenListEntries);
        const DWORD scrolls = static_cast<int>(choices_.size()) > shown ? WS_VSCROLL : 0;
        const RECT gap = layout_.FromUnits({0, 0, kGap, 0});
        const RECT closedPlace{labelPlace.right, ok.top, ok.left - gap.right, ok.top};
        list_ = label == nullptr ? nullptr
                                 : layout_.Add({kProcessorSelectorId, "ComboBox", nullptr,
                                                WS_TABSTOP | CBS_DROPDOWNLIST | scrolls},
                                               closedPlace, label);
        if (list_ == nullptr) {
            choices_.clear();
            return;
        }
        size_t longest = 0;
        for (const ProcessorChoice& choice : choices_) {
            ::SendMessageA(list_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.text.c_str()));
            longest = std::max(longest, choice.text.size());
        }
        // As wide as its longest entry, never narrower than the closed list.
        const RECT openWidth = layout_.FromUnits(
            {0, 0, static_cast<int>(longest) * kAverageCharacterWidth + kScrollBarWidth, 0});
        ::SendMessageA(list_, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(openWidth.right), 0);
        ::SendMessageA(list_, CB_SETMINVISIBLE, static_cast<WPARAM>(kOpenListEntries), 0);
    }

    // Every present box tells what processor it is. The tooltip control is owned by the dialog
    // and goes with it.
    void AddTooltips() {
        const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&classes);
        const HWND tooltips = ::CreateWindowExA(
            WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialogWindow_, nullptr,
            reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(dialogWindow_, GWLP_HINSTANCE)),
            nullptr);
        if (tooltips == nullptr)
            return;
        for (int k = 0; k < boxCount_; ++k) {
            if ((present_ & ProcessorBit(k)) == 0)
                continue;
            std::string text = DescribeProcessor(topology_, k);
            // The size of the first layout, which every version of the control takes.
            TOOLINFOA tool{};
            tool.cbSize = TTTOOLINFOA_V2_SIZE;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = dialogWindow_;
            tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(dialogWindow_, IDC_CPU_FIRST + k));
            tool.lpszText = text.data();
            ::SendMessageA(tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }

    // A choice ticks exactly its processors' boxes.
    void Choose(int index) {
        if (index < 0 || index >= static_cast<int>(choices_.size()))
            return;
        const AffinityMask chosen = choices_[index].processors;
        for (int k = 0; k < boxCount_; ++k)
            ::CheckDlgButton(dialogWindow_, IDC_CPU_FIRST + k,
                             (chosen & ProcessorBit(k)) != 0 ? BST_CHECKED : BST_UNCHECKED);
    }

    AffinityMask CollectCheckedMask() const {
        AffinityMask mask = 0;
        for (int k = 0; k < boxCount_; ++k) {
            if (::IsDlgButtonChecked(dialogWindow_, IDC_CPU_FIRST + k) == BST_CHECKED)
                mask |= ProcessorBit(k);
        }
        return mask;
    }

    void OnOk() {
        const AffinityMask mask = CollectCheckedMask();
        if (mask == 0) {
            ::MessageBoxA(dialogWindow_, "You must select at least one CPU.", kProgramTitle,
                          MB_OK | MB_ICONWARNING);
            return;
        }
        *resultMask_ = mask;
        ::EndDialog(dialogWindow_, kConfirmed);
    }

    void OnCancel() { ::EndDialog(dialogWindow_, kDialogCancelled); }

    HWND dialogWindow_;
    AffinityMask* resultMask_;
    DialogLayout layout_;
    AffinityMask present_ = 0;
    int boxCount_ = 0;
    ProcessorTopology topology_;
    std::vector<ProcessorChoice> choices_;
    HWND list_ = nullptr;
    bool tooltipsDue_ = false;
};
} // namespace

bool ShowProcessorDialog(HWND owner, AffinityMask initialMask, AffinityMask* result) {
    ProcessorDialogParameters parameters{initialMask, result};
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROCESSOR_AFFINITY),
                             owner, BoundDialogProc<ProcessorDialog>,
                             reinterpret_cast<LPARAM>(&parameters)) == kConfirmed;
}

#include "frontend/processor_dialog/processor_dialog.h"

#include "common/dialog_binding.h"
#include "engine/affinity.h"
#include "engine/process_platform.h"
#include "engine/processor_groups.h"
#include "frontend/affinity_mask_text.h"
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

// "Group:" and its list at the dialog's top right, beside the template's text, which ends here.
constexpr int kTopMargin = 6;
constexpr int kTextRight = 225;
constexpr int kGroupListWidth = 84;

// No tip shows before the pointer has rested on a box for the initial delay (half a second by
// default), so tooltips made this long after the dialog shows are in time for any of them.
constexpr UINT kTooltipDelayMilliseconds = 100;

// How many processor boxes the dialog offers on a machine with these processors in some group:
// the template's 32 when none above 31 is present, else one for every processor a mask can name.
int BoxCount(AffinityMask present) {
    for (int processor = kTemplateBoxes; processor < kMaskProcessors; ++processor)
        if ((present & ProcessorBit(processor)) != 0)
            return kMaskProcessors;
    return kTemplateBoxes;
}

// Lives in ShowProcessorDialog's frame while the modal dialog runs.
struct ProcessorDialogParameters {
    const ProcessorRequest& request;
    ProcessorSet* result;
};

// One open processor dialog, bound to its window (dialog_binding.h); `parameter` points to the
// ProcessorDialogParameters of ShowProcessorDialog. It owns what it adds to the template: the
// boxes of processors above 31, the group list, the selector and the tooltips. The boxes show
// the page of one group; ticks_ holds what is ticked in the others.
class ProcessorDialog {
  public:
    ProcessorDialog(HWND window, LPARAM parameter)
        : ProcessorDialog(window, *reinterpret_cast<const ProcessorDialogParameters*>(parameter)) {}
    ProcessorDialog(HWND window, const ProcessorDialogParameters& parameters)
        : dialogWindow_(window), result_(parameters.result), layout_(window) {
        InitCheckBoxes(parameters.request);
    }
    virtual ~ProcessorDialog() = default;
    ProcessorDialog(const ProcessorDialog&) = delete;
    ProcessorDialog& operator=(const ProcessorDialog&) = delete;

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_INITDIALOG:
            return TRUE; // the dialog manager focuses the first control that can take it
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
    // A check box toggles itself; only the two buttons and the two lists need us.
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
        case kProcessorGroupListId: {
            if (notificationCode != CBN_SELCHANGE || groupList_ == nullptr)
                return FALSE;
            const auto page = static_cast<int>(::SendMessageA(groupList_, CB_GETCURSEL, 0, 0));
            if (page < 0 || page >= machine_.count())
                return FALSE;
            SavePage();
            ShowPage(page, false);
            return TRUE;
        }
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
    void InitCheckBoxes(const ProcessorRequest& request) {
        machine_ = CurrentProcessPlatform().Groups();
        // On one group the engine's mask is the machine, asked anew for every dialog.
        if (!machine_.several())
            machine_ = ProcessorGroups::OneGroup(GenerateAllProcessorsMask());
        present_ = machine_.All();
        const bool oneGroupAsked = request.onlyGroup >= 0 && request.onlyGroup < machine_.count();
        allowed_ = oneGroupAsked ? machine_.AllOf(request.onlyGroup) : present_;
        ticks_ = request.initial.Intersect(allowed_);
        AffinityMask anyGroup = 0;
        int processors = 0;
        for (int g = 0; g < machine_.count(); ++g) {
            anyGroup |= machine_.group(g).activeMask;
            processors += ProcessorCount(machine_.group(g).activeMask);
        }
        boxCount_ = BoxCount(anyGroup);
        AddBoxColumns();
        if (machine_.several())
            AddGroupList();
        ShowPage(oneGroupAsked ? request.onlyGroup : 0, true);
        topology_ = ReadProcessorTopology(present_);
        tooltipsDue_ = topology_.known;
        choices_ = ProcessorChoices(topology_, machine_);
        // A choice of processors that may not be ticked would tick nothing.
        choices_.erase(std::remove_if(choices_.begin(), choices_.end(),
                                      [&](const ProcessorSetChoice& choice) {
                                          return choice.processors.Intersect(allowed_).empty();
                                      }),
                       choices_.end());
        // More than 32 processors are worth "All processors" alone.
        const bool many = processors > kTemplateBoxes;
        if (choices_.size() > 1 || (many && !choices_.empty()))
            AddSelector();
        else
            choices_.clear();
    }

    // Gives the boxes group `page`'s processors: their numbers, which of them may be ticked and
    // which are. `fresh`: the boxes are still as the template and AddBoxColumns made them.
    void ShowPage(int page, bool fresh) {
        page_ = page;
        for (int k = 0; k < boxCount_; ++k) {
            const HWND box = ::GetDlgItem(dialogWindow_, IDC_CPU_FIRST + k);
            const bool allowed = (allowed_.groups[page] & ProcessorBit(k)) != 0;
            const bool ticked = (ticks_.groups[page] & ProcessorBit(k)) != 0;
            if (machine_.several()) {
                // A group smaller than the page has no processor behind its last boxes, whose
                // numbers would be the next group's.
                ::SetWindowTextA(box, ("CPU " + std::to_string(machine_.Number(page, k))).c_str());
                ::ShowWindow(box, k < machine_.group(page).maximumCount ? SW_SHOWNA : SW_HIDE);
            }
            if (!fresh || !allowed)
                ::EnableWindow(box, allowed ? TRUE : FALSE);
            if (!fresh || ticked)
                ::CheckDlgButton(dialogWindow_, IDC_CPU_FIRST + k,
                                 ticked ? BST_CHECKED : BST_UNCHECKED);
        }
        if (groupList_ != nullptr)
            ::SendMessageA(groupList_, CB_SETCURSEL, static_cast<WPARAM>(page), 0);
        if (!fresh)
            SetTools(true);
    }

    // What the boxes of the page show ticked, of the processors that may be ticked.
    void SavePage() {
        AffinityMask mask = 0;
        for (int k = 0; k < boxCount_; ++k) {
            if (::IsDlgButtonChecked(dialogWindow_, IDC_CPU_FIRST + k) == BST_CHECKED)
                mask |= ProcessorBit(k);
        }
        ticks_.groups[page_] = mask & allowed_.groups[page_];
    }

    // Columns of eight like the template's last column, each one column pitch further right, in
    // tab order after "CPU 31". The dialog widens by those columns.
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
        Widen((boxCount_ - kTemplateBoxes + kBoxesPerColumn - 1) / kBoxesPerColumn * pitch);
    }

    // OK and Cancel keep their place at the dialog's right edge, and the dialog is kept on its
    // monitor's work area.
    void Widen(LONG growth) {
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
    // order after the last box.
    void AddSelector() {
        const RECT ok = layout_.PlaceOf(IDOK);
        const RECT units =
            layout_.FromUnits({kLeftMargin, 0, kLeftMargin + kLabelWidth, kLabelHeight});
        const LONG labelTop = ok.top + (ok.bottom - ok.top - units.bottom) / 2;
        const RECT labelPlace{units.left, labelTop, units.right, labelTop + units.bottom};
        const HWND label =
            layout_.Add({kProcessorSelectorLabelId, "Static", "Select:", SS_LEFT}, labelPlace,
                        ::GetDlgItem(dialogWindow_, IDC_CPU_FIRST + boxCount_ - 1));
        std::vector<std::string> texts;
        for (const ProcessorSetChoice& choice : choices_)
            texts.push_back(choice.text);
        const RECT gap = layout_.FromUnits({0, 0, kGap, 0});
        list_ = label == nullptr
                    ? nullptr
                    : AddDropDown(kProcessorSelectorId,
                                  {labelPlace.right, ok.top, ok.left - gap.right, ok.top}, label,
                                  texts);
        if (list_ == nullptr)
            choices_.clear();
    }

    // "Group:" and the list of the machine's groups at the top right, first in tab order, the
    // dialog widened where the template's text leaves no room.
    void AddGroupList() {
        const RECT ok = layout_.PlaceOf(IDOK);
        const RECT row =
            layout_.FromUnits({kTextRight + kGap, kTopMargin, 0, kTopMargin + kLabelHeight});
        const LONG labelWidth = layout_.FromUnits({0, 0, kLabelWidth, 0}).right;
        const LONG listWidth = layout_.FromUnits({0, 0, kGroupListWidth, 0}).right;
        const LONG room = layout_.PlaceOf(IDCANCEL).right - row.left;
        if (room < labelWidth + listWidth)
            Widen(labelWidth + listWidth - room);
        const LONG right = layout_.PlaceOf(IDCANCEL).right;
        const LONG labelTop = row.top + (ok.bottom - ok.top - (row.bottom - row.top)) / 2;
        const RECT labelPlace{right - listWidth - labelWidth, labelTop, right - listWidth,
                              labelTop + row.bottom - row.top};
        const HWND label = layout_.Add({kProcessorGroupLabelId, "Static", "Group:", SS_LEFT},
                                       labelPlace, HWND_TOP);
        std::vector<std::string> texts;
        for (int g = 0; g < machine_.count(); ++g)
            texts.push_back("Group " + std::to_string(g) + " (" +
                            FormatProcessorSet(machine_.AllOf(g), machine_) + ")");
        groupList_ = label == nullptr
                         ? nullptr
                         : AddDropDown(kProcessorGroupListId,
                                       {right - listWidth, row.top, right, row.top}, label, texts);
    }

    // A drop-down list of the texts at `closedPlace` (its height comes from the font), after
    // `previous` in tab order. It is made closed and stays so: the control sizes its open list to
    // its entries when it opens (CB_SETMINVISIBLE, common controls 6, which the program's manifest
    // asks for), so no resize of the control and its pop-up list follows.
    HWND AddDropDown(int id, const RECT& closedPlace, HWND previous,
                     const std::vector<std::string>& texts) {
        const int shown = std::min(static_cast<int>(texts.size()), kOpenListEntries);
        const DWORD scrolls = static_cast<int>(texts.size()) > shown ? WS_VSCROLL : 0;
        const HWND list =
            layout_.Add({id, "ComboBox", nullptr, WS_TABSTOP | CBS_DROPDOWNLIST | scrolls},
                        closedPlace, previous);
        if (list == nullptr)
            return nullptr;
        size_t longest = 0;
        for (const std::string& text : texts) {
            ::SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            longest = std::max(longest, text.size());
        }
        // As wide as its longest entry, never narrower than the closed list.
        const RECT openWidth = layout_.FromUnits(
            {0, 0, static_cast<int>(longest) * kAverageCharacterWidth + kScrollBarWidth, 0});
        ::SendMessageA(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(openWidth.right), 0);
        ::SendMessageA(list, CB_SETMINVISIBLE, static_cast<WPARAM>(kOpenListEntries), 0);
        return list;
    }

    // Every present box tells what processor it is. The tooltip control is owned by the dialog
    // and goes with it.
    void AddTooltips() {
        const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&classes);
        tooltips_ = ::CreateWindowExA(
            WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialogWindow_, nullptr,
            reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(dialogWindow_, GWLP_HINSTANCE)),
            nullptr);
        SetTools(false);
    }

    // A tool for every box of a present processor of the page; `replace` takes the last page's
    // tools away first.
    void SetTools(bool replace) {
        if (tooltips_ == nullptr)
            return;
        for (int k = 0; k < boxCount_; ++k) {
            // The size of the first layout, which every version of the control takes.
            TOOLINFOA tool{};
            tool.cbSize = TTTOOLINFOA_V2_SIZE;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = dialogWindow_;
            tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(dialogWindow_, IDC_CPU_FIRST + k));
            if (replace)
                ::SendMessageA(tooltips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
            if ((present_.groups[page_] & ProcessorBit(k)) == 0)
                continue;
            std::string text = DescribeProcessor(topology_, machine_, page_, k);
            tool.lpszText = text.data();
            ::SendMessageA(tooltips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }

    // A choice ticks exactly its processors' boxes, of those that may be ticked; when the page
    // shows none of them, the first group that holds some is shown.
    void Choose(int index) {
        if (index < 0 || index >= static_cast<int>(choices_.size()))
            return;
        ticks_ = choices_[index].processors.Intersect(allowed_);
        int page = page_;
        for (int g = 0; ticks_.groups[page_] == 0 && g < machine_.count(); ++g)
            if (ticks_.groups[g] != 0) {
                page = g;
                break;
            }
        if (page != page_) {
            ShowPage(page, false);
            return;
        }
        for (int k = 0; k < boxCount_; ++k)
            ::CheckDlgButton(dialogWindow_, IDC_CPU_FIRST + k,
                             (ticks_.groups[page_] & ProcessorBit(k)) != 0 ? BST_CHECKED
                                                                           : BST_UNCHECKED);
    }

    void OnOk() {
        SavePage();
        if (ticks_.empty()) {
            ::MessageBoxA(dialogWindow_, "You must select at least one CPU.", kProgramTitle,
                          MB_OK | MB_ICONWARNING);
            return;
        }
        *result_ = ticks_;
        ::EndDialog(dialogWindow_, kConfirmed);
    }

    void OnCancel() { ::EndDialog(dialogWindow_, kDialogCancelled); }

    HWND dialogWindow_;
    ProcessorSet* result_;
    DialogLayout layout_;
    ProcessorGroups machine_;
    ProcessorSet present_;
    ProcessorSet allowed_;
    ProcessorSet ticks_;
    int page_ = 0;
    int boxCount_ = 0;
    ProcessorTopology topology_;
    std::vector<ProcessorSetChoice> choices_;
    HWND list_ = nullptr;
    HWND groupList_ = nullptr;
    HWND tooltips_ = nullptr;
    bool tooltipsDue_ = false;
};
} // namespace

bool ShowProcessorDialog(HWND owner, const ProcessorRequest& request, ProcessorSet* result) {
    ProcessorDialogParameters parameters{request, result};
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROCESSOR_AFFINITY),
                             owner, BoundDialogProc<ProcessorDialog>,
                             reinterpret_cast<LPARAM>(&parameters)) == kConfirmed;
}

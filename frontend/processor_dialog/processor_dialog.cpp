#include "frontend/processor_dialog/processor_dialog.h"

#include "common/dialog_binding.h"
#include "engine/affinity.h"
#include "frontend/processor_dialog/processor_box_columns.h"
#include "frontend/processor_dialog/processor_selector.h"
#include "frontend/program_title.h"
#include "frontend/resource.h"

namespace {
constexpr INT_PTR kConfirmed = 1;

// Common controls 6 under Wine keep the font of a text control in a block of their own, which
// they free only for an icon control: every dialog would leave 24 bytes behind. Made icon
// controls as the dialog goes (already hidden, holding no icon), its text controls free it.
void LetTextControlsFreeTheirFont(HWND dialog) {
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        ::GetClassNameA(child, className, sizeof(className));
        const LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) != SS_ICON)
            ::SetWindowLongA(child, GWL_STYLE, (style & ~SS_TYPEMASK) | SS_ICON);
    }
}

// Lives in ShowProcessorDialog's frame while the modal dialog runs.
struct ProcessorDialogParameters {
    AffinityMask initialMask;
    AffinityMask* resultMask;
};

// One open processor dialog, bound to its window (dialog_binding.h); `parameter` points to the
// ProcessorDialogParameters of ShowProcessorDialog.
class ProcessorDialog {
  public:
    ProcessorDialog(HWND window, LPARAM parameter)
        : ProcessorDialog(window, *reinterpret_cast<const ProcessorDialogParameters*>(parameter)) {}
    ProcessorDialog(HWND window, const ProcessorDialogParameters& parameters)
        : dialogWindow_(window), resultMask_(parameters.resultMask) {
        InitCheckBoxes(parameters.initialMask);
    }
    virtual ~ProcessorDialog() { LetTextControlsFreeTheirFont(dialogWindow_); }
    ProcessorDialog(const ProcessorDialog&) = delete;
    ProcessorDialog& operator=(const ProcessorDialog&) = delete;

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_INITDIALOG:
            return TRUE; // the dialog manager focuses the first box that can take it
        case WM_COMMAND:
            return HandleCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        default:
            return selector_.HandleMessage(message, wParam) ? TRUE : FALSE;
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
        default:
            return selector_.OnCommand(notificationCode, commandId) ? TRUE : FALSE;
        }
    }

    // Tested bit by bit, so machines whose processors are not numbered 0 to N-1 get exactly
    // their own boxes enabled. A machine with processors above 31 gets boxes for them first.
    void InitCheckBoxes(AffinityMask initialMask) {
        const AffinityMask present = GenerateAllProcessorsMask();
        boxCount_ = ProcessorBoxCount(present);
        AddProcessorBoxColumns(dialogWindow_, boxCount_);
        for (int k = 0; k < boxCount_; ++k) {
            const AffinityMask bit = ProcessorBit(k);
            if ((present & bit) == 0)
                ::EnableWindow(::GetDlgItem(dialogWindow_, IDC_CPU_FIRST + k), FALSE);
            else if ((initialMask & bit) != 0)
                ::CheckDlgButton(dialogWindow_, IDC_CPU_FIRST + k, BST_CHECKED);
        }
        selector_.Attach(dialogWindow_, present, boxCount_);
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
    int boxCount_ = 0;
    ProcessorSelector selector_;
};
} // namespace

bool ShowProcessorDialog(HWND owner, AffinityMask initialMask, AffinityMask* result) {
    ProcessorDialogParameters parameters{initialMask, result};
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROCESSOR_AFFINITY),
                             owner, BoundDialogProc<ProcessorDialog>,
                             reinterpret_cast<LPARAM>(&parameters)) == kConfirmed;
}

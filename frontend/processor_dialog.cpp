#include "processor_dialog.h"

#include "dialog_binding.h"
#include "engine/affinity.h"
#include "program_title.h"
#include "resource.h"

namespace {
constexpr int kProcessorBoxCount = IDC_CPU_LAST - IDC_CPU_FIRST + 1;
constexpr INT_PTR kConfirmed = 1;

// Lives in ShowProcessorDialog's frame while the modal dialog runs.
struct ProcessorDialogParameters {
    unsigned long initialMask;
    unsigned long* resultMask;
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
    virtual ~ProcessorDialog() = default;
    ProcessorDialog(const ProcessorDialog&) = delete;
    ProcessorDialog& operator=(const ProcessorDialog&) = delete;

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_INITDIALOG:
            return TRUE; // the dialog manager focuses the first box that can take it
        case WM_COMMAND:
            return HandleCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        default:
            return FALSE;
        }
    }

  private:
    // A check box toggles itself; only the two buttons need us.
    INT_PTR HandleCommand(WORD /*notificationCode*/, WORD commandId, HWND /*control*/) {
        switch (commandId) {
        case IDOK:
            OnOk();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        default:
            return FALSE;
        }
    }

    // Tested bit by bit, so machines whose processors are not numbered 0 to N-1 get exactly
    // their own boxes enabled.
    void InitCheckBoxes(unsigned long initialMask) {
        const unsigned long present = GenerateAllProcessorsMask();
        for (int k = 0; k < kProcessorBoxCount; ++k) {
            const unsigned long bit = 1UL << k;
            if ((present & bit) == 0)
                ::EnableWindow(::GetDlgItem(dialogWindow_, IDC_CPU_FIRST + k), FALSE);
            else if ((initialMask & bit) != 0)
                ::CheckDlgButton(dialogWindow_, IDC_CPU_FIRST + k, BST_CHECKED);
        }
    }

    unsigned long CollectCheckedMask() const {
        unsigned long mask = 0;
        for (int k = 0; k < kProcessorBoxCount; ++k) {
            if (::IsDlgButtonChecked(dialogWindow_, IDC_CPU_FIRST + k) == BST_CHECKED)
                mask |= 1UL << k;
        }
        return mask;
    }

    void OnOk() {
        const unsigned long mask = CollectCheckedMask();
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
    unsigned long* resultMask_;
};
} // namespace

bool ShowProcessorDialog(HWND owner, unsigned long initialMask, unsigned long* result) {
    ProcessorDialogParameters parameters{initialMask, result};
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROCESSOR_AFFINITY),
                             owner, BoundDialogProc<ProcessorDialog>,
                             reinterpret_cast<LPARAM>(&parameters)) == kConfirmed;
}

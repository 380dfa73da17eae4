#include "processor_dialog_reader.h"

#include "frontend/processor_dialog/processor_dialog.h"
#include "frontend/resource.h"

#include <commctrl.h>

namespace {
constexpr int kTextRoom = 256;
// The dialog makes its tooltips once it has been shown and painted.
constexpr DWORD kTooltipWaitMilliseconds = 2000;

struct TooltipSearch {
    HWND dialog;
    HWND tooltips;
};

BOOL CALLBACK FindTooltips(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TooltipSearch*>(parameter);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof(className));
    if (lstrcmpiA(className, TOOLTIPS_CLASSA) == 0 &&
        ::GetWindow(window, GW_OWNER) == search->dialog) {
        search->tooltips = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForTooltips(HWND dialog) {
    TooltipSearch search{dialog, nullptr};
    const DWORD start = ::GetTickCount();
    for (;;) {
        ::EnumThreadWindows(::GetCurrentThreadId(), FindTooltips,
                            reinterpret_cast<LPARAM>(&search));
        const DWORD waited = ::GetTickCount() - start;
        if (search.tooltips != nullptr || waited >= kTooltipWaitMilliseconds)
            return search.tooltips;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kTooltipWaitMilliseconds - waited,
                                    QS_ALLINPUT);
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

std::map<int, std::string> ReadTooltips(HWND dialog) {
    TooltipSearch search{dialog, WaitForTooltips(dialog)};
    std::map<int, std::string> texts;
    if (search.tooltips == nullptr)
        return texts;
    const auto count = ::SendMessageA(search.tooltips, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        TOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        if (!::SendMessageA(search.tooltips, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)))
            continue;
        char text[kTextRoom] = {};
        tool.lpszText = text;
        ::SendMessageA(search.tooltips, TTM_GETTEXTA, sizeof(text),
                       reinterpret_cast<LPARAM>(&tool));
        texts[::GetDlgCtrlID(reinterpret_cast<HWND>(tool.uId)) - IDC_CPU_FIRST] = text;
    }
    return texts;
}
} // namespace

ProcessorDialogView ReadProcessorDialog(HWND dialog) {
    ProcessorDialogView view;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        ++view.controls;
    view.hasLabel = ::GetDlgItem(dialog, kProcessorSelectorLabelId) != nullptr;
    view.selector = ::GetDlgItem(dialog, kProcessorSelectorId);
    if (view.selector != nullptr) {
        const auto count = ::SendMessageA(view.selector, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[kTextRoom] = {};
            ::SendMessageA(view.selector, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            view.entries.push_back(text);
        }
    }
    view.tooltips = ReadTooltips(dialog);
    return view;
}

AffinityMask TickedProcessors(HWND dialog) {
    AffinityMask ticked = 0;
    for (int k = 0; k < kMaskProcessors; ++k)
        if (::IsDlgButtonChecked(dialog, IDC_CPU_FIRST + k) == BST_CHECKED)
            ticked |= ProcessorBit(k);
    return ticked;
}

int SelectorChoice(HWND dialog, int listId) {
    const HWND selector = ::GetDlgItem(dialog, listId);
    return selector != nullptr ? static_cast<int>(::SendMessageA(selector, CB_GETCURSEL, 0, 0))
                               : -1;
}

OpenList OpenSelectorList(HWND dialog) {
    const HWND selector = ::GetDlgItem(dialog, kProcessorSelectorId);
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof(parts);
    if (selector == nullptr || !::GetComboBoxInfo(selector, &parts))
        return {};
    ::SendMessageA(selector, CB_SHOWDROPDOWN, TRUE, 0);
    RECT room{};
    ::GetClientRect(parts.hwndList, &room);
    ::SendMessageA(selector, CB_SHOWDROPDOWN, FALSE, 0);
    const auto entryHeight = static_cast<int>(::SendMessageA(selector, CB_GETITEMHEIGHT, 0, 0));
    if (entryHeight <= 0)
        return {};
    return {room.bottom / entryHeight, room.bottom % entryHeight};
}

bool ChooseWithArrowKeys(HWND dialog, int entry, int listId) {
    const HWND selector = ::GetDlgItem(dialog, listId);
    if (selector == nullptr)
        return false;
    ::SetFocus(selector);
    const auto count = ::SendMessageA(selector, CB_GETCOUNT, 0, 0);
    for (LRESULT press = 0; press <= count && SelectorChoice(dialog, listId) != entry; ++press) {
        const WPARAM key = SelectorChoice(dialog, listId) < entry ? VK_DOWN : VK_UP;
        ::SendMessageA(selector, WM_KEYDOWN, key, 1);
        ::SendMessageA(selector, WM_KEYUP, key, 0xC0000001);
    }
    return SelectorChoice(dialog, listId) == entry;
}

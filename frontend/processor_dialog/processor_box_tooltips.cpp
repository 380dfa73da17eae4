#include "frontend/processor_dialog/processor_box_tooltips.h"

#include "frontend/processor_dialog/processor_choices.h"
#include "frontend/resource.h"

#include <commctrl.h>

#include <string>

void AddProcessorBoxTooltips(HWND dialog, const ProcessorTopology& topology, AffinityMask present,
                             int boxCount) {
    if (!topology.known)
        return;
    const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&classes);
    const HWND tooltips = ::CreateWindowExA(
        WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), nullptr);
    if (tooltips == nullptr)
        return;
    for (int k = 0; k < boxCount; ++k) {
        if ((present & ProcessorBit(k)) == 0)
            continue;
        std::string text = DescribeProcessor(topology, k);
        // The size of the first layout, which every version of the control takes.
        TOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = dialog;
        tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(dialog, IDC_CPU_FIRST + k));
        tool.lpszText = text.data();
        ::SendMessageA(tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

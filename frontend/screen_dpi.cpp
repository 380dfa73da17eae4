#include "frontend/screen_dpi.h"

#include <windows.h>

namespace {

constexpr int kDesignDpi = 96;

} // namespace

int ScaleToScreenDpi(int pixelsAt96Dpi) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : kDesignDpi;
    if (screen != nullptr)
        ::ReleaseDC(nullptr, screen);
    return ::MulDiv(pixelsAt96Dpi, dpi, kDesignDpi);
}

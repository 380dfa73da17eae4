#include "frontend/frontend_platform.h"

BOOL FrontendPlatform::QueryVersion(OSVERSIONINFOA* info) {
    return ::GetVersionExA(info);
}

BOOL FrontendPlatform::NotifyIcon(DWORD message, NOTIFYICONDATAA* data) {
    return ::Shell_NotifyIconA(message, data);
}

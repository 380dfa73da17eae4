#include "frontend_platform.h"

namespace {
FrontendPlatform realPlatform;
FrontendPlatform* currentPlatform = &realPlatform;
} // namespace

BOOL FrontendPlatform::QueryVersion(OSVERSIONINFOA* info) {
    return ::GetVersionExA(info);
}

void FrontendPlatform::QuerySystemInfo(SYSTEM_INFO* info) {
    ::GetSystemInfo(info);
}

BOOL FrontendPlatform::NotifyIcon(DWORD message, NOTIFYICONDATAA* data) {
    return ::Shell_NotifyIconA(message, data);
}

FrontendPlatform& CurrentFrontendPlatform() {
    return *currentPlatform;
}

ScopedFrontendPlatform::ScopedFrontendPlatform(FrontendPlatform& platform)
    : previous_(currentPlatform) {
    currentPlatform = &platform;
}

ScopedFrontendPlatform::~ScopedFrontendPlatform() {
    currentPlatform = previous_;
}

// `Tandrel Pro.exe` reading every process as it did before the image-name route: the same
// program, with the handle for limited query refused to its snapshot, so that each process is
// read through its first module. Start-up is measured against it in the same run.
#include "engine/process_platform.h"
#include "frontend/startup.h"

namespace {

class ModuleRouteOnly : public ProcessPlatform {
  public:
    HANDLE OpenProcess(DWORD access, DWORD processId) override {
        if (access == PROCESS_QUERY_LIMITED_INFORMATION)
            return nullptr;
        return ProcessPlatform::OpenProcess(access, processId);
    }
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ModuleRouteOnly moduleRoute;
    ScopedProcessPlatform scoped(moduleRoute);
    return RunProgram();
}

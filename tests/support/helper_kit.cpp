#include "helper_kit.h"

#include <cstdio>

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

namespace {
// Wine answers ERROR_INTERNAL_ERROR when the new process ended during its start-up without an exit
// code, before it ran any code of its own (seen on a loaded machine): nothing of the caller touched
// it, so it is started again, a few times at most, and each such end is told.
constexpr int kStartAttempts = 3;
} // namespace

StartedHelper StartHelper(const std::string& program, const std::string& arguments,
                          bool inheritHandles) {
    StartedHelper started;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    for (int attempt = 1;; ++attempt) {
        if (::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr,
                             inheritHandles ? TRUE : FALSE, 0, nullptr, nullptr, &startup, &info))
            break;
        started.error = ::GetLastError();
        if (started.error != ERROR_INTERNAL_ERROR || attempt == kStartAttempts)
            return started;
        std::fprintf(stderr, "%s ended during its start-up (error 1359), start %d of %d\n",
                     program.c_str(), attempt, kStartAttempts);
    }
    started.error = ERROR_SUCCESS;
    ::CloseHandle(info.hThread);
    started.process.reset(info.hProcess);
    started.pid = info.dwProcessId;
    return started;
}

void EndHelper(HANDLE process) {
    ::TerminateProcess(process, 0);
    ::WaitForSingleObject(process, 5000);
}

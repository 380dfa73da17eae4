#include "helper_kit.h"

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

StartedHelper StartHelper(const std::string& program, const std::string& arguments,
                          bool inheritHandles) {
    StartedHelper started;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr,
                          inheritHandles ? TRUE : FALSE, 0, nullptr, nullptr, &startup, &info)) {
        started.error = ::GetLastError();
        return started;
    }
    ::CloseHandle(info.hThread);
    started.process.reset(info.hProcess);
    started.pid = info.dwProcessId;
    return started;
}

void EndHelper(HANDLE process) {
    ::TerminateProcess(process, 0);
    ::WaitForSingleObject(process, 5000);
}

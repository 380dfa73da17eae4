#include "helper_processes.h"

#include <gtest/gtest.h>

std::string TestProgramDirectory() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

HelperProcess::HelperProcess(const std::string& program) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start " << program << ", error " << ::GetLastError();
        return;
    }
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    pid_ = info.dwProcessId;
    // Wait until the process runs its own code, so that its module list can be read.
    ::WaitForInputIdle(info.hProcess, 5000);
}

HelperProcess::~HelperProcess() {
    if (process_) {
        ::TerminateProcess(process_.get(), 0);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

AffinityMask MaskOf(HANDLE process) {
    DWORD_PTR processMask = 0, systemMask = 0;
    if (!::GetProcessAffinityMask(process, &processMask, &systemMask))
        return 0;
    return processMask;
}

AffinityMask HelperProcess::mask() const {
    return MaskOf(process_.get());
}

bool HelperProcess::SetMask(AffinityMask mask) const {
    return ::SetProcessAffinityMask(process_.get(), mask) != FALSE;
}

std::vector<HelperProcess> StartHelpers(int count) {
    std::vector<HelperProcess> helpers;
    for (int i = 0; i < count; ++i)
        helpers.emplace_back();
    return helpers;
}

unsigned long EndedProcessId() {
    unsigned long pid = HelperProcess().pid();
    // Wine keeps an ended process openable for a moment after its last handle is closed.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE stale = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (stale == nullptr)
            break;
        ::CloseHandle(stale);
        ::Sleep(50);
    }
    return pid;
}

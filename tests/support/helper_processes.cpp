#include "helper_processes.h"

#include <gtest/gtest.h>

#include <utility>

HelperProcess::HelperProcess(const std::string& program) {
    StartedHelper started = StartHelper(program);
    if (!started.process) {
        ADD_FAILURE() << "cannot start " << program << ", error " << started.error;
        return;
    }
    process_ = std::move(started.process);
    pid_ = started.pid;
    // Wait until the process runs its own code, so that its module list can be read.
    ::WaitForInputIdle(process_.get(), 5000);
}

HelperProcess::~HelperProcess() {
    if (process_)
        EndHelper(process_.get());
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

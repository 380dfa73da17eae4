// Real processes for the tests: copies of waiter.exe that are always ended with their owner.
#pragma once

#include "common/affinity_mask.h"
#include "common/unique_handle.h"
#include "helper_kit.h"

#include <string>
#include <vector>

class HelperProcess {
  public:
    // Starts the given program (by default waiter.exe beside the test program).
    explicit HelperProcess(const std::string& program = ProgramDirectory() + "waiter.exe");
    ~HelperProcess();
    HelperProcess(HelperProcess&&) = default;
    HelperProcess& operator=(HelperProcess&&) = default;

    unsigned long pid() const { return pid_; }
    HANDLE handle() const { return process_.get(); }
    // The process's mask as the system reports it, or 0 when it cannot be read.
    AffinityMask mask() const;
    bool SetMask(AffinityMask mask) const;

  private:
    UniqueHandle process_;
    unsigned long pid_ = 0;
};

std::vector<HelperProcess> StartHelpers(int count);

// Identifier of a process that has ended, so nobody has it now.
unsigned long EndedProcessId();

AffinityMask MaskOf(HANDLE process);

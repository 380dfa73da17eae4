// The identifiers of every process, as the engine and the snapshot enumerate them.
#pragma once

#include "engine/process_platform.h"

// Identifiers of every process, in a block from the platform's Allocate, enumerated into room
// that doubles while the system fills it (common/process_enumeration.h).
class ProcessIdList {
  public:
    explicit ProcessIdList(ProcessPlatform& platform) : platform_(platform) {}
    ~ProcessIdList() { platform_.Free(ids_); }
    ProcessIdList(const ProcessIdList&) = delete;
    ProcessIdList& operator=(const ProcessIdList&) = delete;

    // False, with no identifiers, when the enumeration or an allocation fails.
    bool Enumerate();

    int count() const { return count_; }
    unsigned long* ids() const { return reinterpret_cast<unsigned long*>(ids_); }

  private:
    ProcessPlatform& platform_;
    DWORD* ids_ = nullptr;
    int count_ = 0;
};

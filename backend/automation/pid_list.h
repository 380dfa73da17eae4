// The process identifiers taken from a PIDArray argument, on the library's private heap.
#pragma once

#include <windows.h>
#include <oaidl.h>

class PidList {
  public:
    PidList() = default;
    // Room for `capacity` identifiers; empty (no list) when that cannot be allocated.
    explicit PidList(ULONG capacity);
    ~PidList();
    PidList(const PidList&) = delete;
    PidList& operator=(const PidList&) = delete;
    PidList(PidList&& other) noexcept;
    PidList& operator=(PidList&& other) noexcept;

    bool allocated() const { return ids_ != nullptr; }
    void Append(unsigned long id) { ids_[count_++] = id; }
    unsigned long* ids() const { return ids_; }
    int count() const { return count_; }
    // Room for the whole argument array, for a block copy.
    unsigned long* FillAll() {
        count_ = static_cast<int>(capacity_);
        return ids_;
    }

  private:
    void Free();

    unsigned long* ids_ = nullptr;
    ULONG capacity_ = 0;
    int count_ = 0;
};

// The identifiers held by a PIDArray argument; no list (not allocated) when none can be taken.
// Shows the diagnostic message boxes on the way, in an interactive session only.
PidList PidListFromVariant(const VARIANT& argument);

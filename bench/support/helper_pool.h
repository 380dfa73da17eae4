// Real processes for the benchmarks to list and move: copies of bench_waiter.exe, ended with the
// pool (or, at the latest, with the benchmark program).
#pragma once

#include "common/unique_handle.h"
#include "helper_kit.h"

#include <string>
#include <vector>

class HelperPool {
  public:
    HelperPool();
    ~HelperPool();
    HelperPool(const HelperPool&) = delete;
    HelperPool& operator=(const HelperPool&) = delete;

    // Starts helpers until count run, and returns once each one's module list can be read, so
    // that every snapshot lists all of them. False when one could not be started.
    bool GrowTo(int count);
    void Clear();

    std::vector<unsigned long> ids() const { return ids_; }
    int size() const { return static_cast<int>(ids_.size()); }

  private:
    UniqueHandle inheritableSelf_;
    std::vector<UniqueHandle> processes_;
    std::vector<unsigned long> ids_;
};

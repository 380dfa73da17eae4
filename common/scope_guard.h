// Runs an action on every way out of a scope, for clean-ups that no owner type fits.
#pragma once

#include <utility>

template <typename Action> class ScopeGuard {
  public:
    explicit ScopeGuard(Action action) : action_(std::move(action)) {}
    ~ScopeGuard() {
        if (armed_)
            action_();
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

    // The action will not run.
    void Dismiss() { armed_ = false; }

  private:
    Action action_;
    bool armed_ = true;
};

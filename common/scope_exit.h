// Runs a piece of clean-up when the scope ends, however it ends.
#pragma once

#include <utility>

namespace vandrel {

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F action_;
};

}  // namespace vandrel

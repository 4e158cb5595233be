// An environment variable of this process, inherited by what it starts, set for the object's lifetime.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel::test {

class ScopedEnvironment {
public:
    ScopedEnvironment(std::wstring name, const std::wstring& value) : name_(std::move(name)) {
        const DWORD length = ::GetEnvironmentVariableW(name_.c_str(), nullptr, 0);
        if (length > 0) {
            previous_.resize(length);
            previous_.resize(::GetEnvironmentVariableW(name_.c_str(), &previous_[0], length));
            hadPrevious_ = true;
        }
        ::SetEnvironmentVariableW(name_.c_str(), value.c_str());
    }
    // Puts back the value from before (or none).
    ~ScopedEnvironment() { ::SetEnvironmentVariableW(name_.c_str(), hadPrevious_ ? previous_.c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name_;
    std::wstring previous_;
    bool hadPrevious_ = false;
};

}  // namespace vandrel::test

// An environment variable of this process, inherited by what it starts, set for the object's lifetime.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel::test {

class ScopedEnvironment {
public:
    ScopedEnvironment(std::wstring name, const std::wstring& value) : name_(std::move(name)) {
        ::SetEnvironmentVariableW(name_.c_str(), value.c_str());
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableW(name_.c_str(), nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name_;
};

}  // namespace vandrel::test

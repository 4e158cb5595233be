// SHA-256 of a stream of bytes through CNG (bcrypt), for what was written into a virtual device.
#pragma once

#include <cstddef>
#include <string>

#include "common/unique_handle.h"

namespace vandrel::standin {

class Sha256 {
public:
    Sha256();
    // False when CNG could not provide the hash; every later call then fails.
    bool ok() const { return static_cast<bool>(hash_); }
    bool Update(const void* data, size_t size);
    // 64 lower-case hexadecimal digits of everything passed to Update; empty on failure.
    std::wstring FinishHex();

private:
    UniqueBCryptAlgorithm algorithm_;
    UniqueBCryptHash hash_;
};

}  // namespace vandrel::standin

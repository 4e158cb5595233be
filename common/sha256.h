// SHA-256 through CNG (bcrypt.dll, loaded from System32 at run time): of what was written into a
// device, and of the firmware files the write history names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/message_pump.h"

namespace vandrel {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when CNG could not provide the hash; every later call then fails.
    bool ok() const { return hash_ != nullptr; }
    bool Update(const void* data, size_t size);
    // 64 lower-case hexadecimal digits of everything passed to Update; empty on failure.
    std::wstring FinishHex();

private:
    void* algorithm_ = nullptr;  // BCRYPT_ALG_HANDLE
    void* hash_ = nullptr;       // BCRYPT_HASH_HANDLE
};

// The SHA-256 of the file at path in hexadecimal, read in 64 KiB blocks with pump between them, and its
// size in bytes; empty when it cannot be read.
std::wstring Sha256OfFile(const std::wstring& path, uint64_t* size = nullptr, MessagePump& pump = NoPump());

}  // namespace vandrel

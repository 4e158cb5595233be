#include "common/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "common/system_library.h"
#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel {

namespace {

constexpr wchar_t kBcrypt[] = L"bcrypt.dll";

template <class Function>
Function Cng(const char* name) {
    return SystemFunction<Function>(kBcrypt, name);
}

}  // namespace

Sha256::Sha256() {
    const auto open = Cng<decltype(&::BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
    const auto create = Cng<decltype(&::BCryptCreateHash)>("BCryptCreateHash");
    if (!open || !create) return;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(open(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return;
    algorithm_ = algorithm;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCRYPT_SUCCESS(create(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) hash_ = hash;
}

Sha256::~Sha256() {
    if (hash_) Cng<decltype(&::BCryptDestroyHash)>("BCryptDestroyHash")(hash_);
    if (algorithm_) Cng<decltype(&::BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider")(algorithm_, 0);
}

bool Sha256::Update(const void* data, size_t size) {
    static const auto hashData = Cng<decltype(&::BCryptHashData)>("BCryptHashData");
    return hash_ && hashData &&
           BCRYPT_SUCCESS(hashData(hash_, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size), 0));
}

std::wstring Sha256::FinishHex() {
    static const auto finish = Cng<decltype(&::BCryptFinishHash)>("BCryptFinishHash");
    UCHAR digest[32] = {};
    if (!hash_ || !finish || !BCRYPT_SUCCESS(finish(hash_, digest, sizeof digest, 0))) return {};
    Cng<decltype(&::BCryptDestroyHash)>("BCryptDestroyHash")(hash_);
    hash_ = nullptr;
    std::wstring hex;
    for (UCHAR byte : digest) hex += Format(L"%02x", byte);
    return hex;
}

std::wstring Sha256OfFile(const std::wstring& path, uint64_t* size, MessagePump& pump) {
    // Read beside others: a picked image may be open elsewhere, the secure copy in the library.
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    Sha256 hash;
    if (!file || !hash.ok()) return {};
    std::vector<char> block(65536);
    uint64_t total = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return {};
        if (read == 0) break;
        if (!hash.Update(block.data(), read)) return {};
        total += read;
        pump.Pump();
    }
    if (size) *size = total;
    return hash.FinishHex();
}

}  // namespace vandrel

#include "standins/virtual-transmitter/sha256.h"

#include "common/text.h"

namespace vandrel::standin {

Sha256::Sha256() {
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        algorithm_.release();  // nothing was opened
        return;
    }
    if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0)))
        hash_.release();
}

bool Sha256::Update(const void* data, size_t size) {
    return hash_ && BCRYPT_SUCCESS(::BCryptHashData(hash_.get(), static_cast<PUCHAR>(const_cast<void*>(data)),
                                                    static_cast<ULONG>(size), 0));
}

std::wstring Sha256::FinishHex() {
    UCHAR digest[32] = {};
    if (!hash_ || !BCRYPT_SUCCESS(::BCryptFinishHash(hash_.get(), digest, sizeof digest, 0))) return {};
    hash_.reset();
    std::wstring hex;
    for (UCHAR byte : digest) hex += Format(L"%02x", byte);
    return hex;
}

}  // namespace vandrel::standin

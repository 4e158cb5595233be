// CRC-32 as 7z lists it, against a bit-by-bit reference: the folding path for long runs at every
// alignment, the tables for the rest, and a CRC carried on across blocks as the copy loop does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/crc32.h"

namespace vandrel {
namespace {

uint32_t BitByBit(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

TEST(Crc32, KnownValues) {
    EXPECT_EQ(0u, UpdateCrc32(0, "", 0));
    EXPECT_EQ(0xCBF43926u, UpdateCrc32(0, "123456789", 9));
    EXPECT_EQ(0x414FA339u, UpdateCrc32(0, "The quick brown fox jumps over the lazy dog", 43));
}

TEST(Crc32, MatchesTheReferenceAtEveryLengthAndAlignment) {
    const std::string bytes = Pattern(4096);
    for (size_t offset = 0; offset < 17; ++offset)
        for (size_t length : {size_t{1}, size_t{15}, size_t{16}, size_t{63}, size_t{64}, size_t{65}, size_t{127},
                              size_t{128}, size_t{1000}, size_t{4000}})
            EXPECT_EQ(BitByBit(bytes.substr(offset, length)), UpdateCrc32(0, bytes.data() + offset, length))
                << "offset " << offset << ", length " << length;
}

TEST(Crc32, CarriesOnAcrossBlocks) {
    const std::string bytes = Pattern(3 * 65536 + 123);
    uint32_t crc = 0;
    for (size_t at = 0; at < bytes.size(); at += 65536)
        crc = UpdateCrc32(crc, bytes.data() + at, std::min<size_t>(65536, bytes.size() - at));
    EXPECT_EQ(BitByBit(bytes), crc);
}

}  // namespace
}  // namespace vandrel

#include "common/crc32.h"

#include <cpuid.h>
#include <immintrin.h>

#include <cstring>

namespace vandrel {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

// Sixteen tables for slicing sixteen bytes at a time where carry-less multiplication is missing.
struct Tables {
    uint32_t t[16][256];
    Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (kPolynomial & (0u - (c & 1u)));
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 16; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
};

const Tables& TheTables() {
    static const Tables tables;
    return tables;
}

// state is the running register (not inverted).
uint32_t SliceBy16(uint32_t state, const uint8_t* p, size_t n) {
    const auto& t = TheTables().t;
    while (n >= 16) {
        uint32_t a, b, c, d;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + 4, 4);
        std::memcpy(&c, p + 8, 4);
        std::memcpy(&d, p + 12, 4);
        a ^= state;
        state = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
                t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
                t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
                t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
        p += 16;
        n -= 16;
    }
    while (n--) state = (state >> 8) ^ t[0][(state ^ *p++) & 0xFF];
    return state;
}

#define VANDREL_CLMUL __attribute__((target("pclmul,sse4.1")))

VANDREL_CLMUL inline __m128i Load(const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

// x folded forward over the distance that k stands for, onto next.
VANDREL_CLMUL inline __m128i FoldOnto(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// Folding 64 bytes at a time with carry-less multiplication, after Intel's "Fast CRC Computation for
// Generic Polynomials Using PCLMULQDQ Instruction" (the constants are those of its reflected CRC-32).
// Takes n >= 64, a multiple of 16; returns the running register.
VANDREL_CLMUL uint32_t Fold(uint32_t state, const uint8_t* p, size_t n) {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596LL, 0x0154442bd4LL);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124LL);
    const __m128i poly = _mm_set_epi64x(0x01f7011641LL, 0x01db710641LL);
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);

    __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
    p += 64;
    n -= 64;
    for (; n >= 64; p += 64, n -= 64) {
        x1 = FoldOnto(x1, k1k2, Load(p));
        x2 = FoldOnto(x2, k1k2, Load(p + 16));
        x3 = FoldOnto(x3, k1k2, Load(p + 32));
        x4 = FoldOnto(x4, k1k2, Load(p + 48));
    }
    x1 = FoldOnto(x1, k3k4, x2);
    x1 = FoldOnto(x1, k3k4, x3);
    x1 = FoldOnto(x1, k3k4, x4);
    for (; n >= 16; p += 16, n -= 16) x1 = FoldOnto(x1, k3k4, Load(p));

    // 128 bits to 64, to 32, then Barrett's reduction.
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k3k4, 0x10), _mm_srli_si128(x1, 8));
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k5, 0x00), _mm_srli_si128(x1, 4));
    __m128i x2b = x1;
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x00);
    x1 = _mm_xor_si128(x1, x2b);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HasCarryLessMultiplication() {
    static const bool has = [] {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_PCLMUL) && (ecx & bit_SSE4_1);
    }();
    return has;
}

}  // namespace

uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    uint32_t state = ~crc;
    if (size >= 64 && HasCarryLessMultiplication()) {
        const size_t folded = size & ~static_cast<size_t>(15);
        state = Fold(state, p, folded);
        p += folded;
        size -= folded;
    }
    return ~SliceBy16(state, p, size);
}

}  // namespace vandrel

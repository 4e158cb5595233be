// CRC-32 as zip and 7z compute it (polynomial 0xEDB88320, reflected, inverted at both ends), fast enough
// to run in the read loop of a large copy at no noticeable cost.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vandrel {

// Continues crc (0 to begin) over size bytes at data and returns the CRC of everything so far.
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size);

}  // namespace vandrel

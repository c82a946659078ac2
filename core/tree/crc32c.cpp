#include "crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace tidewell {

namespace {

constexpr std::uint32_t kPolynomial = 0x82F63B78;  // reflected Castagnoli polynomial

// Slicing by eight: table k gives the CRC of a byte followed by k zero bytes.
constexpr std::array<std::array<std::uint32_t, 256>, 8> makeTables() {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c >> 1) ^ ((c & 1) != 0 ? kPolynomial : 0);
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr auto kTables = makeTables();

std::uint32_t portable(const unsigned char* p, std::size_t n, std::uint32_t c) {
    for (; n >= 8; p += 8, n -= 8) {
        const std::uint32_t lo = c ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                      std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
        c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
            kTables[4][lo >> 24] ^ kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^
            kTables[0][p[7]];
    }
    for (; n > 0; ++p, --n) c = (c >> 8) ^ kTables[0][(c ^ *p) & 0xFF];
    return c;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) std::uint32_t hardware(const unsigned char* p, std::size_t n,
                                                         std::uint32_t c) {
    std::uint64_t c64 = c;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);  // little-endian on this processor
        c64 = _mm_crc32_u64(c64, word);
    }
    c = static_cast<std::uint32_t>(c64);
    for (; n > 0; ++p, --n) c = _mm_crc32_u8(c, *p);
    return c;
}

bool hasInstruction() {
    static const bool has = __builtin_cpu_supports("sse4.2");
    return has;
}
#endif

}  // namespace

std::uint32_t crc32c(std::span<const unsigned char> bytes, std::uint32_t crc) {
#if defined(__x86_64__)
    if (hasInstruction()) return ~hardware(bytes.data(), bytes.size(), ~crc);
#endif
    return ~portable(bytes.data(), bytes.size(), ~crc);
}

std::uint32_t crc32cPortable(std::span<const unsigned char> bytes, std::uint32_t crc) {
    return ~portable(bytes.data(), bytes.size(), ~crc);
}

}  // namespace tidewell

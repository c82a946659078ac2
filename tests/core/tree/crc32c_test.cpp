#include "crc32c.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

namespace tidewell {
namespace {

std::span<const unsigned char> bytesOf(std::string_view s) {
    return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// One bit at a time, straight from the polynomial.
std::uint32_t reference(std::span<const unsigned char> bytes) {
    std::uint32_t c = 0xFFFFFFFF;
    for (const unsigned char byte : bytes) {
        c ^= byte;
        for (int bit = 0; bit < 8; ++bit) c = (c >> 1) ^ ((c & 1) != 0 ? 0x82F63B78 : 0);
    }
    return ~c;
}

TEST(Crc32c, KnownValuesAndBothWaysAgreeAtEveryLengthAndOffset) {
    // The check value of CRC-32C, and the iSCSI test vectors (RFC 3720, B.4).
    EXPECT_EQ(crc32c(bytesOf("123456789")), 0xE3069283u);
    EXPECT_EQ(crc32cPortable(bytesOf("123456789")), 0xE3069283u);
    const std::vector<unsigned char> zeros(32, 0x00), ones(32, 0xFF);
    std::vector<unsigned char> rising(32);
    for (std::size_t i = 0; i < rising.size(); ++i) rising[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(crc32c(zeros), 0x8A9136AAu);
    EXPECT_EQ(crc32c(ones), 0x62A8AB43u);
    EXPECT_EQ(crc32c(rising), 0x46DD794Eu);
    EXPECT_EQ(crc32c({}), 0u);

    std::mt19937 rng(11);
    std::vector<unsigned char> buf(1000);
    for (unsigned char& b : buf) b = static_cast<unsigned char>(rng());
    for (std::size_t offset = 0; offset < 9; ++offset) {
        for (std::size_t len = 0; offset + len <= buf.size(); len += 1 + len / 8) {
            const std::span<const unsigned char> part(buf.data() + offset, len);
            const std::uint32_t want = reference(part);
            ASSERT_EQ(crc32c(part), want) << offset << " " << len;
            ASSERT_EQ(crc32cPortable(part), want) << offset << " " << len;
            // Continuing from a split gives the value of the whole.
            const std::size_t half = len / 2;
            ASSERT_EQ(crc32c(part.subspan(half), crc32c(part.first(half))), want);
            ASSERT_EQ(crc32cPortable(part.subspan(half), crc32cPortable(part.first(half))), want);
        }
    }
}

}  // namespace
}  // namespace tidewell

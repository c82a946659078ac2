// CRC-32C (Castagnoli), the checksum the tree cache keeps over its records so
// that a flipped bit anywhere in a file is caught before the file becomes a tree.
#pragma once

#include <cstdint>
#include <span>

namespace tidewell {

// The CRC-32C of `bytes` continuing from `crc` (0 to start), computed with the
// processor's CRC instruction where there is one.
std::uint32_t crc32c(std::span<const unsigned char> bytes, std::uint32_t crc = 0);

// The same value from tables alone: what processors without the instruction
// use; kept callable so that both ways can be checked against each other.
std::uint32_t crc32cPortable(std::span<const unsigned char> bytes, std::uint32_t crc = 0);

}  // namespace tidewell

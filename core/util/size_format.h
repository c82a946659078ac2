// Sizes for display: decimal units (powers of 1000), the unit chosen from the
// exact byte count before the number is rounded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tidewell {

struct ScaledBytes {
    double value;
    std::string_view unit;
    int decimals;
};

ScaledBytes scaledBytes(std::int64_t bytes);
std::string_view byteUnit(std::int64_t bytes);

// "1,5 GB" with the user's decimal separator, read once per process.
std::string formatBytes(std::int64_t bytes);
std::string formatBytes(std::int64_t bytes, std::string_view decimalSeparator);

// The user's decimal separator (LC_NUMERIC from the environment), "." when the
// locale gives none.
const std::string& localeDecimalSeparator();

}  // namespace tidewell

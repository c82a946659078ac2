// Small formatting helpers for terminal and JSON output.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tidewell::cli {

// 1234567 as "1.234.567" with the user's grouping separator (none in "C").
std::string formatCount(std::int64_t n);
// Seconds with two decimals and the user's decimal separator: "1,23 sn".
std::string formatSeconds(double seconds);
// The whole text as a number of type T (no sign, no trailing characters), or nothing.
template <typename T>
std::optional<T> parseNumber(std::string_view text) {
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < T{}) return std::nullopt;
    return value;
}

// A JSON string literal; the text is made valid UTF-8 first.
std::string jsonString(std::string_view bytes);

}  // namespace tidewell::cli

#include "size_format.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <charconv>

namespace tidewell {

ScaledBytes scaledBytes(std::int64_t bytes) {
    const auto b = static_cast<double>(bytes);
    if (bytes < 0) return {0.0, "B", 0};
    if (bytes >= 1'000'000'000'000) return {b / 1e12, "TB", 2};
    if (bytes >= 1'000'000'000) return {b / 1e9, "GB", 1};
    if (bytes >= 1'000'000) return {b / 1e6, "MB", 1};
    if (bytes >= 1000) return {b / 1e3, "KB", 0};
    return {b, "B", 0};
}

std::string_view byteUnit(std::int64_t bytes) {
    return scaledBytes(bytes).unit;
}

std::string formatBytes(std::int64_t bytes, std::string_view decimalSeparator) {
    const ScaledBytes s = scaledBytes(bytes);
    // to_chars never consults the C locale, so the point is always ".".
    std::array<char, 64> buf{};
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), s.value,
                                   std::chars_format::fixed, s.decimals);
    std::string out;
    for (const char* p = buf.data(); ec == std::errc() && p != end; ++p) {
        if (*p == '.')
            out += decimalSeparator;
        else
            out += *p;
    }
    out += ' ';
    out += s.unit;
    return out;
}

std::string formatBytes(std::int64_t bytes) {
    return formatBytes(bytes, localeDecimalSeparator());
}

const std::string& localeDecimalSeparator() {
    static const std::string separator = [] {
        std::string sep = ".";
        if (locale_t loc = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr))) {
            const char* radix = ::nl_langinfo_l(RADIXCHAR, loc);
            if (radix != nullptr && *radix != '\0') sep = radix;
            ::freelocale(loc);
        }
        return sep;
    }();
    return separator;
}

}  // namespace tidewell

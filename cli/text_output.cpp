#include "text_output.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <charconv>
#include <cstdio>

#include "display_text.h"
#include "size_format.h"

namespace tidewell::cli {

namespace {

const std::string& groupingSeparator() {
    static const std::string separator = [] {
        std::string sep;
        if (locale_t loc = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr))) {
            if (const char* s = ::nl_langinfo_l(THOUSEP, loc)) sep = s;
            ::freelocale(loc);
        }
        return sep;
    }();
    return separator;
}

}  // namespace

std::string formatCount(std::int64_t n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += groupingSeparator();
        out += digits[i];
    }
    return out;
}

std::string formatSeconds(double seconds) {
    std::array<char, 32> buf{};
    auto [end, ec] =
        std::to_chars(buf.data(), buf.data() + buf.size(), seconds, std::chars_format::fixed, 2);
    std::string out;
    for (const char* p = buf.data(); ec == std::errc() && p != end; ++p) {
        if (*p == '.')
            out += localeDecimalSeparator();
        else
            out += *p;
    }
    return out + " sn";
}

std::string jsonString(std::string_view bytes) {
    const std::string text = repairUtf8(bytes);
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    std::array<char, 8> esc{};
                    std::snprintf(esc.data(), esc.size(), "\\u%04x", static_cast<unsigned>(c));
                    out += esc.data();
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

}  // namespace tidewell::cli

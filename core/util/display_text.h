// File names are raw bytes; these turn them into valid UTF-8 for display only.
#pragma once

#include <string>
#include <string_view>

namespace tidewell {

// Valid UTF-8 is returned unchanged; each invalid sequence becomes U+FFFD.
std::string repairUtf8(std::string_view bytes);

}  // namespace tidewell

#pragma once

#include <span>
#include <string_view>

namespace tidewell::cli {

// tidewell-cli caches [--clean RELATIVE_PATH] [--yes]: lists the quick-clean
// cache folders that are there with their sizes, or empties one of them.
int runCachesCommand(std::span<const std::string_view> args);

}  // namespace tidewell::cli

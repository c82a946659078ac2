#pragma once

#include <span>
#include <string_view>

namespace tidewell::cli {

// tidewell-cli caches [--clean RELATIVE_PATH] [--yes]: replaces this process
// with tidewell-cli-caches, which sits next to it. Returns 1 only when that fails.
int runCachesCommand(std::span<const std::string_view> args);

}  // namespace tidewell::cli

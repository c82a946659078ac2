#pragma once

#include <span>
#include <string_view>

namespace tidewell::cli {

// tidewell-cli scan PATH [--depth N] [--json] [--whole-disk]
int runScanCommand(std::span<const std::string_view> args);

}  // namespace tidewell::cli

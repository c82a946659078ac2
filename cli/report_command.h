#pragma once

#include <span>
#include <string_view>

namespace tidewell::cli {

// tidewell-cli top [--cached] PATH [-n N]: the N largest files, largest first.
int runTopCommand(std::span<const std::string_view> args);
// tidewell-cli smart [--cached] PATH: the known, regenerable bloat under PATH.
int runSmartCommand(std::span<const std::string_view> args);

}  // namespace tidewell::cli

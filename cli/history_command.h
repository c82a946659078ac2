#pragma once

#include <span>
#include <string_view>

namespace tidewell::cli {

// tidewell-cli history watch ROOT | now | changes ROOT --since ID
int runHistoryCommand(std::span<const std::string_view> args);

}  // namespace tidewell::cli

#include "caches_command.h"

#include "scan_command.h"

namespace tidewell::cli {

// The cache panel's model needs Qt, so it runs in a program of its own.
int runCachesCommand(std::span<const std::string_view> args) {
    return execSiblingProgram("tidewell-cli-caches", {}, args);
}

}  // namespace tidewell::cli

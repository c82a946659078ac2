#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "file_node.h"
#include "scan_engine.h"

namespace tidewell::cli {

// tidewell-cli scan PATH [--depth N] [--json] [--whole-disk], and scan --cached PATH [--depth N]
int runScanCommand(std::span<const std::string_view> args);

// A location given on the command line, as a scan starts from it.
struct ScanRoot {
    std::string path;  // real: no symbolic link among its folders, a link to a folder followed
    std::string name;  // the last component of what was given
};

// The scan root for a path given on the command line, or nothing (with the
// reason on standard error) when it cannot be examined.
std::optional<ScanRoot> scanRootOf(std::string_view given);

struct FreshScan {
    NodeRef root;  // null when the path could not be read or the scan was cancelled
    bool cancelled = false;
    std::chrono::steady_clock::duration elapsed{};
    std::int64_t unreadableDirs = 0;  // folders that could not be read (counted as empty)
    std::string failure;              // why the scan gave nothing when it was not cancelled
};

// The message for a scan that gave no tree and was not cancelled.
std::string scanFailedMessage(const ScanRoot& root, std::string_view failure);

// 0 when `scan` gave a tree; otherwise says why on standard error and gives
// the exit status (130 cancelled, 1 failed).
int unfinishedScanStatus(const ScanRoot& root, const FreshScan& scan);

// A scan with a live progress line when standard error is a terminal; Ctrl-C cancels it.
FreshScan scanWithProgress(const ScanRoot& root, const SkipPaths& skips);

}  // namespace tidewell::cli

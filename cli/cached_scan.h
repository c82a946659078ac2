// `tidewell-cli scan|top|smart --cached`: the location brought up to date the
// way the application does it (the cached tree, the change history, the
// changed folders read again or a full scan), and the cache left up to date.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "file_node.h"

namespace tidewell::cli {

// Prints the finished tree; `unreadableDirs` counts the folders that could not be read.
using TreePrinter = std::function<void(const FileNode& root, std::int64_t unreadableDirs)>;

// Brings the location given on the command line up to date, with a live
// progress line on a terminal and Ctrl-C as cancel; prints how (refreshed
// from the cache, or a full scan and why) and how long it took, then hands
// the tree to `print`. The cache is written meanwhile and is complete when
// this returns. Returns the exit status: 0, 1 when the location cannot be
// examined, 130 when interrupted.
int runCachedScan(std::string_view given, const TreePrinter& print);

}  // namespace tidewell::cli

// Bytes and files under one path, without a tree and without progress.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

namespace tidewell::QuickSizer {

struct Totals {
    std::int64_t bytes = 0;  // allocated
    std::int64_t files = 0;  // entries other than directories and symbolic links
    bool operator==(const Totals&) const = default;
};

// Nothing when the path cannot be examined or the measurement was cancelled.
// Symbolic links are neither counted nor followed.
std::optional<Totals> measure(const std::string& path, std::stop_token stop = {});

}  // namespace tidewell::QuickSizer

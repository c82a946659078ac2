#include "paths.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace tidewell {

std::string childPath(std::string_view dir, std::string_view name) {
    std::string out;
    out.reserve(dir.size() + 1 + name.size());
    out += dir;
    if (dir != "/") out += '/';
    out += name;
    return out;
}

bool isAtOrBelow(std::string_view path, std::string_view dir) {
    if (dir == "/") return !path.empty() && path.front() == '/';
    return path == dir ||
           (path.size() > dir.size() && path.starts_with(dir) && path[dir.size()] == '/');
}

namespace {

// `path` against the working directory, as written otherwise.
std::filesystem::path anchored(std::string_view path) {
    std::filesystem::path p(path);
    if (p.is_absolute()) return p;
    std::error_code ec;
    std::filesystem::path made = std::filesystem::absolute(p, ec);
    return ec ? p : made;
}

}  // namespace

std::string absolutePath(std::string_view path) {
    std::string out = anchored(path).lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out.empty() ? std::string("/") : out;
}

std::string locationName(std::string_view path) {
    const std::string p = absolutePath(path);
    if (p == "/") return p;
    return p.substr(p.rfind('/') + 1);
}

std::optional<std::string> realDirectory(std::string_view path) {
    const std::unique_ptr<char, decltype(&std::free)> real(
        ::realpath(std::string(path).c_str(), nullptr), &std::free);
    if (!real) return std::nullopt;
    struct stat st {};
    if (::lstat(real.get(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return std::string(real.get());
}

std::optional<std::string> realScanRoot(std::string_view given) {
    // Only the name needs care: the folders above it are resolved whatever
    // they are. ".." is left to the system, which takes it after any link.
    std::string path = anchored(given).string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    struct stat target {};
    if (S_ISDIR(st.st_mode) ||
        (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)))
        return realDirectory(path);
    // Not a directory, so its name is neither "." nor "..".
    const std::size_t cut = path.rfind('/');
    const std::optional<std::string> parent =
        realDirectory(cut == 0 ? std::string_view("/") : std::string_view(path).substr(0, cut));
    if (!parent) return std::nullopt;
    return childPath(*parent, std::string_view(path).substr(cut + 1));
}

}  // namespace tidewell

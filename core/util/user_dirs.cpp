#include "user_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace tidewell {

namespace {

// The base directory specification ignores relative values.
const char* absoluteVariable(const char* variable) {
    const char* v = std::getenv(variable);
    return v != nullptr && v[0] == '/' ? v : nullptr;
}

std::optional<std::string> xdgFolder(const char* variable, const char* fallback) {
    if (const char* v = absoluteVariable(variable)) return std::string(v);
    const std::optional<std::string> home = homeDirectory();
    if (!home) return std::nullopt;
    return *home + fallback;
}

std::string withoutTrailingSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string_view trimmedLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

// The value between double quotes at the start of `s`, escapes undone; nothing
// without the closing quote.
std::optional<std::string> quoted(std::string_view s) {
    if (s.empty() || s.front() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '"') return out;
        if (s[i] == '\\' && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> homeDirectory() {
    if (const char* h = std::getenv("HOME"); h != nullptr && h[0] == '/') return std::string(h);
    // getpwuid_r: walker and model threads may ask at the same time.
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
    for (;;) {
        passwd pw{};
        passwd* found = nullptr;
        const int rc = ::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found);
        if (rc == ERANGE && buf.size() < (std::size_t{1} << 20)) {
            buf.resize(buf.size() * 2);
            continue;
        }
        if (rc != 0 || found == nullptr || pw.pw_dir == nullptr || *pw.pw_dir == '\0')
            return std::nullopt;
        return std::string(pw.pw_dir);
    }
}

std::optional<std::string> dataHome() {
    return xdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::optional<std::string> stateHome() {
    return xdgFolder("XDG_STATE_HOME", "/.local/state");
}

std::optional<std::string> configHome() {
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string dataHomeFor(std::string_view home) {
    if (const char* v = absoluteVariable("XDG_DATA_HOME")) return std::string(v);
    return withoutTrailingSlashes(std::string(home)) + "/.local/share";
}

std::optional<std::string> userDirIn(std::string_view text, std::string_view key,
                                     std::string_view home) {
    std::optional<std::string> found;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = trimmedLeft(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.starts_with(key)) continue;
        line = trimmedLeft(line.substr(key.size()));
        if (!line.starts_with('=')) continue;
        const std::optional<std::string> value = quoted(trimmedLeft(line.substr(1)));
        if (!value) continue;
        std::string path;
        constexpr std::string_view kHome = "$HOME";
        if (std::string_view(*value).starts_with(kHome) &&
            (value->size() == kHome.size() || (*value)[kHome.size()] == '/'))
            path = std::string(home) + value->substr(kHome.size());
        else if (value->starts_with('/'))
            path = *value;
        else
            continue;  // neither form: not a usable line
        found = withoutTrailingSlashes(std::move(path));
    }
    if (found && *found == withoutTrailingSlashes(std::string(home))) return std::nullopt;
    return found;
}

std::optional<std::string> downloadsDirectory() {
    const std::optional<std::string> home = homeDirectory();
    if (!home) return std::nullopt;
    if (const std::optional<std::string> config = configHome()) {
        std::ifstream in(*config + "/user-dirs.dirs", std::ios::binary);
        std::ostringstream text;
        if (in) text << in.rdbuf();
        if (std::optional<std::string> dir = userDirIn(text.str(), "XDG_DOWNLOAD_DIR", *home))
            return dir;
    }
    return withoutTrailingSlashes(*home) + "/Downloads";
}

bool makeDirectories(const std::string& path, unsigned mode) {
    for (std::size_t cut = path.find('/', 1);; cut = path.find('/', cut + 1)) {
        const std::string part = path.substr(0, cut);
        if (::mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return false;
        if (cut == std::string::npos) break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if ((st.st_mode & 07777) != mode) ::chmod(path.c_str(), static_cast<mode_t>(mode));
    return true;
}

}  // namespace tidewell

#include "user_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace tidewell {

namespace {

std::optional<std::string> xdgFolder(const char* variable, const char* fallback) {
    // The base directory specification ignores relative values.
    if (const char* v = std::getenv(variable); v != nullptr && v[0] == '/') return std::string(v);
    const std::optional<std::string> home = homeDirectory();
    if (!home) return std::nullopt;
    return *home + fallback;
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

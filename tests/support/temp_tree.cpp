#include "temp_tree.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tidewell::test {

namespace {
void check(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error("test setup failed: " + what);
}
}  // namespace

TempDir::TempDir() {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/tidewell-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    check(::mkdtemp(buf.data()) != nullptr, "mkdtemp");
    path_ = buf.data();
    ::chmod(path_.c_str(), 0755);
}

TempDir::~TempDir() {
    // Directories a test made unreadable must be opened up again to go.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
    }
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::mkdir(std::string_view rel) const {
    const std::string p = *this / rel;
    check(::mkdir(p.c_str(), 0755) == 0, "mkdir " + p);
    return p;
}

std::string TempDir::realPath() const {
    char buf[PATH_MAX];
    return ::realpath(path_.c_str(), buf) != nullptr ? std::string(buf) : path_;
}

std::string TempDir::write(std::string_view rel, std::size_t bytes) const {
    const std::string p = *this / rel;
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    check(fd >= 0, "create " + p);
    const std::string data(bytes, 'x');
    const bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ::fsync(fd);
    ::close(fd);
    check(ok, "write " + p);
    return p;
}

std::string TempDir::symlink(std::string_view target, std::string_view rel) const {
    const std::string p = *this / rel;
    check(::symlink(std::string(target).c_str(), p.c_str()) == 0, "symlink " + p);
    return p;
}

std::string TempDir::hardlink(std::string_view existingRel, std::string_view rel) const {
    const std::string p = *this / rel;
    check(::link((*this / existingRel).c_str(), p.c_str()) == 0, "link " + p);
    return p;
}

FileNode* childNamed(const FileNode* dir, std::string_view name) {
    for (FileNode* c : dir->children())
        if (c->name() == name) return c;
    return nullptr;
}

CommandRun runCommand(const std::string& command) {
    CommandRun r;
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::int64_t allocatedBytes(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

int inChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int inPrivateMounts(const std::function<int()>& body) {
    return inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return 77;
        return body();
    });
}

}  // namespace tidewell::test

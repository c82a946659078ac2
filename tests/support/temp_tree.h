// Real directories in a temporary folder for the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "file_node.h"

namespace tidewell::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(std::string_view rel) const { return path_ + "/" + std::string(rel); }
    // The folder's real path, as the system resolves it (it may sit under a
    // linked /tmp): the base expected tree paths are built on.
    std::string realPath() const;

    // Each returns the absolute path it made; parents must exist.
    std::string mkdir(std::string_view rel) const;
    std::string write(std::string_view rel, std::size_t bytes) const;
    std::string symlink(std::string_view target, std::string_view rel) const;
    std::string hardlink(std::string_view existingRel, std::string_view rel) const;

  private:
    std::string path_;
};

// Allocated bytes of a path as the system reports them (st_blocks * 512).
std::int64_t allocatedBytes(const std::string& path);

// The first child of `dir` with exactly this name, or null.
FileNode* childNamed(const FileNode* dir, std::string_view name);

// Runs a shell command; its exit status (-1 when it did not exit) and standard output.
struct CommandRun {
    int status = -1;
    std::string out;
};
CommandRun runCommand(const std::string& command);

// Runs `body` in a forked child; its result is the exit status (128 + the
// signal when it was killed). By convention 77 means "could not be set up".
int inChild(const std::function<int()>& body);

// The same in a mount namespace of the child's own, so it can mount freely
// and its mounts vanish with it; 77 when the system does not allow that.
int inPrivateMounts(const std::function<int()>& body);

#ifdef TIDEWELL_CLI_PATH
// The built tidewell-cli run with `args`, its standard error dropped.
inline CommandRun cli(const std::string& args) {
    return runCommand(std::string(TIDEWELL_CLI_PATH) + " " + args + " 2>/dev/null");
}
#endif

}  // namespace tidewell::test

// Owns one file descriptor and closes it; writes whole buffers to one.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <span>
#include <string_view>
#include <utility>

namespace tidewell {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    // Closes now, reporting the error a deferred write may only show here.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

  private:
    int fd_ = -1;
};

// Writes all of `data`, resuming after short writes and signals; false on
// any error (errno tells which) or when nothing more can be written.
inline bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}
inline bool writeAll(int fd, std::span<const unsigned char> data) {
    return writeAll(fd, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

}  // namespace tidewell

// tidewell-gentree: builds a deterministic synthetic directory tree for scan benchmarks.
//
// The whole tree is planned in memory first with a private PRNG, so the same seed gives
// byte-identical names, sizes, contents and links on every standard library; only then is it
// written to disk, files in parallel, one directory per task.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Depth of the deepest entry below DEST.
constexpr std::uint32_t kMaxDepth = 12;
// Files that may land in a handful of very large directories, per mille.
constexpr std::uint64_t kBigDirPerMille = 100;
constexpr std::size_t kBigDirCount = 8;
// Chance that a new directory nests under the previous one.
constexpr std::uint64_t kNestPercent = 20;
// Contents are slices of one shared buffer; a file never exceeds 1 MiB.
constexpr std::size_t kMaxFileSize = std::size_t{1} << 20;
constexpr std::size_t kDataSize = 2 * kMaxFileSize;

// splitmix64: tiny, fast, and identical everywhere, unlike std distributions.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); the modulo bias is irrelevant at these ranges.
    std::uint64_t below(std::uint64_t n) { return next() % n; }

  private:
    std::uint64_t state_;
};

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // close() can report delayed write errors, so files are closed explicitly.
    int release_and_close() { return ::close(std::exchange(fd_, -1)); }

  private:
    int fd_ = -1;
};

// Names live in one arena; entries refer to them by offset to keep the plan compact.
struct NameRef {
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
};

struct Dir {
    std::uint32_t parent = 0;
    std::uint32_t depth = 0;
    NameRef name;
};

struct File {
    std::uint32_t dir = 0;
    std::uint32_t size = 0;
    std::uint32_t data_offset = 0;
    NameRef name;
};

struct Symlink {
    std::uint32_t dir = 0;
    NameRef name;
    NameRef target;
};

struct Hardlink {
    std::uint32_t dir = 0;
    std::uint32_t file = 0;
    NameRef name;
};

struct Plan {
    std::string arena;
    std::vector<Dir> dirs;  // dirs[0] is DEST itself and is not counted as an entry.
    std::vector<File> files;
    std::vector<Symlink> symlinks;
    std::vector<Hardlink> hardlinks;

    std::string_view view(NameRef ref) const { return {arena.data() + ref.offset, ref.length}; }

    NameRef store(std::string_view text) {
        NameRef ref{arena.size(), static_cast<std::uint32_t>(text.size())};
        arena.append(text);
        return ref;
    }
};

constexpr std::string_view kAscii =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-. ";

// A mix of 2-, 3- and 4-byte sequences, weighted toward the 2-byte Latin letters that real
// European file names carry.
constexpr std::array<std::string_view, 16> kGlyphs = {
    "ğ", "ü", "ş", "ı", "ö", "ç", "Ğ", "Ü", "Ş", "İ", "é", "ñ", "ß", "日", "本", "😀",
};

constexpr std::array<char, 4> kInvalidBytes = {'\xff', '\xfe', '\xc0', '\x80'};

void random_name(Rng& rng, std::string& out) {
    out.clear();
    const std::size_t length = 5 + rng.below(36);  // 5..40 bytes
    const std::uint64_t kind = rng.below(1000);
    const bool utf8 = kind < 30;                   // ~3%
    const bool invalid = kind >= 30 && kind < 35;  // ~0.5%

    bool need_glyph = utf8;
    while (out.size() < length) {
        const std::size_t left = length - out.size();
        if (utf8 && (need_glyph || rng.below(3) == 0)) {
            const std::string_view glyph = kGlyphs[rng.below(kGlyphs.size())];
            if (glyph.size() <= left) {
                out.append(glyph);
                need_glyph = false;
                continue;
            }
        }
        out.push_back(kAscii[rng.below(kAscii.size())]);
    }
    if (invalid) out[rng.below(length)] = kInvalidBytes[rng.below(kInvalidBytes.size())];
}

// Integer-only log-uniform size: pick a power-of-two band, then a value inside it.
std::uint32_t random_size(Rng& rng) {
    std::uint32_t low_bit = 0;
    std::uint32_t bands = 14;  // 1 B .. 16 KiB - 1
    if (rng.below(1000) < 5) {
        low_bit = 14;  // 16 KiB .. 1 MiB - 1, about 0.5% of files
        bands = 6;
    }
    const auto bit = static_cast<std::uint32_t>(low_bit + rng.below(bands));
    const std::uint32_t base = std::uint32_t{1} << bit;
    return static_cast<std::uint32_t>(base + rng.below(base));
}

std::uint64_t name_key(std::uint32_t dir, std::string_view name) {
    std::uint64_t h = 0xcbf29ce484222325ULL ^ (std::uint64_t{dir} * 0x9e3779b97f4a7c15ULL);
    for (unsigned char c : name) h = (h ^ c) * 0x100000001b3ULL;
    return h;
}

class Planner {
  public:
    Planner(std::uint64_t seed, std::uint64_t entries) : rng_(seed) {
        const std::uint64_t symlinks = entries / 100;
        const std::uint64_t hardlinks = entries / 100;
        const std::uint64_t rest = entries - symlinks - hardlinks;
        const std::uint64_t dirs = rest * 5 / 105;  // about 5% as many directories as files
        const std::uint64_t files = rest - dirs;

        taken_.reserve(entries);
        plan_.arena.reserve(entries * 23);
        plan_.dirs.reserve(dirs + 1);
        plan_.files.reserve(files);
        plan_.symlinks.reserve(symlinks);
        plan_.hardlinks.reserve(hardlinks);

        plan_.dirs.push_back(Dir{});
        parents_.push_back(0);
        for (std::uint64_t i = 0; i < dirs; ++i) add_dir();
        for (std::size_t i = 0; i < kBigDirCount && i < parents_.size(); ++i)
            big_dirs_.push_back(pick_parent());
        for (std::uint64_t i = 0; i < files; ++i) add_file();
        for (std::uint64_t i = 0; i < symlinks; ++i) add_symlink();
        for (std::uint64_t i = 0; i < hardlinks; ++i) add_hardlink();
    }

    Plan take() { return std::move(plan_); }

  private:
    // Uniform choice among directories that may still hold entries.
    std::uint32_t any_parent() { return parents_[rng_.below(parents_.size())]; }

    // The shallower of two random picks keeps the tree bushy instead of letting every
    // branch run to the depth limit.
    std::uint32_t pick_parent() {
        const std::uint32_t a = any_parent();
        const std::uint32_t b = any_parent();
        return plan_.dirs[a].depth <= plan_.dirs[b].depth ? a : b;
    }

    NameRef unique_name(std::uint32_t dir) {
        for (;;) {
            random_name(rng_, scratch_);
            if (taken_.insert(name_key(dir, scratch_)).second) return plan_.store(scratch_);
        }
    }

    void add_dir() {
        // Sometimes nest under the directory just made, giving the occasional deep chain
        // (src/a/b/c/...) that a purely random tree lacks.
        const bool nest = plan_.dirs.size() > 1 && parents_.back() == plan_.dirs.size() - 1 &&
                          rng_.below(100) < kNestPercent;
        const std::uint32_t parent = nest ? parents_.back() : pick_parent();
        const auto index = static_cast<std::uint32_t>(plan_.dirs.size());
        const std::uint32_t depth = plan_.dirs[parent].depth + 1;
        plan_.dirs.push_back(Dir{parent, depth, unique_name(parent)});
        if (depth < kMaxDepth) parents_.push_back(index);
    }

    void add_file() {
        const std::uint32_t dir = rng_.below(1000) < kBigDirPerMille && !big_dirs_.empty()
                                      ? big_dirs_[rng_.below(big_dirs_.size())]
                                      : any_parent();
        const NameRef name = unique_name(dir);
        const std::uint32_t size = random_size(rng_);
        const auto offset = static_cast<std::uint32_t>(rng_.below(kDataSize - kMaxFileSize));
        plan_.files.push_back(File{dir, size, offset, name});
    }

    // Relative path from directory `from` to directory `to`, without a trailing slash.
    std::string relative_path(std::uint32_t from, std::uint32_t to) const {
        std::vector<std::uint32_t> down;
        std::string up;
        while (plan_.dirs[from].depth > plan_.dirs[to].depth) {
            up += "../";
            from = plan_.dirs[from].parent;
        }
        while (plan_.dirs[to].depth > plan_.dirs[from].depth) {
            down.push_back(to);
            to = plan_.dirs[to].parent;
        }
        while (from != to) {
            up += "../";
            from = plan_.dirs[from].parent;
            down.push_back(to);
            to = plan_.dirs[to].parent;
        }
        std::string path = up;
        for (auto it = down.rbegin(); it != down.rend(); ++it) {
            path.append(plan_.view(plan_.dirs[*it].name));
            path.push_back('/');
        }
        if (path.empty()) return ".";
        path.pop_back();
        return path;
    }

    void add_symlink() {
        const std::uint32_t dir = any_parent();
        const NameRef name = unique_name(dir);
        std::string target;
        const std::uint64_t kind = rng_.below(100);
        if (kind < 40) {
            const File& file = plan_.files[rng_.below(plan_.files.size())];
            target = relative_path(dir, file.dir) + "/";
            target.append(plan_.view(file.name));
        } else if (kind < 75) {
            target = relative_path(dir, static_cast<std::uint32_t>(rng_.below(plan_.dirs.size())));
        } else {
            // Longer than any generated name, so it can never resolve.
            target = relative_path(dir, any_parent()) + "/gone-";
            for (int i = 0; i < 40; ++i) target.push_back(kAscii[rng_.below(26)]);
        }
        plan_.symlinks.push_back(Symlink{dir, name, plan_.store(target)});
    }

    void add_hardlink() {
        const std::uint32_t dir = any_parent();
        const NameRef name = unique_name(dir);
        const auto file = static_cast<std::uint32_t>(rng_.below(plan_.files.size()));
        plan_.hardlinks.push_back(Hardlink{dir, file, name});
    }

    Rng rng_;
    Plan plan_;
    std::vector<std::uint32_t> parents_;
    std::vector<std::uint32_t> big_dirs_;
    std::unordered_set<std::uint64_t> taken_;
    std::string scratch_;
};

// First failure wins; workers poll `failed` so a broken run stops quickly.
struct Failure {
    std::atomic<bool> failed{false};
    std::mutex mutex;
    std::string message;

    void report(std::string what, const std::string& path, int err) {
        std::lock_guard lock(mutex);
        if (failed.exchange(true)) return;
        message = std::move(what) + " '" + path + "': " + std::strerror(err);
    }
};

class Writer {
  public:
    Writer(const Plan& plan, std::string root) : plan_(plan) {
        paths_.reserve(plan.dirs.size());
        paths_.push_back(std::move(root));
        for (std::size_t i = 1; i < plan.dirs.size(); ++i) {
            const Dir& dir = plan.dirs[i];
            std::string path = paths_[dir.parent];
            path.push_back('/');
            path.append(plan.view(dir.name));
            paths_.push_back(std::move(path));
        }
        data_ = std::make_unique_for_overwrite<char[]>(kDataSize);
        Rng rng(0x7469646577656c6cULL);
        for (std::size_t i = 0; i < kDataSize; i += sizeof(std::uint64_t)) {
            const std::uint64_t word = rng.next();
            std::memcpy(data_.get() + i, &word, sizeof word);
        }
    }

    std::optional<std::string> run(unsigned threads) {
        make_dirs();
        if (!failure_.failed) write_files(threads);
        if (!failure_.failed) make_links();
        if (failure_.failed) return failure_.message;
        return std::nullopt;
    }

  private:
    std::string entry_path(std::uint32_t dir, NameRef name) const {
        std::string path = paths_[dir];
        path.push_back('/');
        path.append(plan_.view(name));
        return path;
    }

    // Parents precede children in the plan, so one ordered pass suffices.
    void make_dirs() {
        for (std::size_t i = 1; i < paths_.size(); ++i) {
            if (::mkdir(paths_[i].c_str(), 0755) != 0) {
                failure_.report("mkdir", paths_[i], errno);
                return;
            }
        }
    }

    void write_files(unsigned threads) {
        // Bucket files by directory so each task opens its directory once and uses openat.
        const std::size_t dir_count = plan_.dirs.size();
        std::vector<std::uint32_t> start(dir_count + 1, 0);
        for (const File& f : plan_.files) ++start[f.dir + 1];
        for (std::size_t i = 0; i < dir_count; ++i) start[i + 1] += start[i];
        std::vector<std::uint32_t> order(plan_.files.size());
        {
            std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
            for (std::uint32_t i = 0; i < plan_.files.size(); ++i)
                order[fill[plan_.files[i].dir]++] = i;
        }

        std::atomic<std::size_t> next_dir{0};
        auto worker = [&] {
            for (;;) {
                const std::size_t d = next_dir.fetch_add(1, std::memory_order_relaxed);
                if (d >= dir_count || failure_.failed) return;
                if (start[d] == start[d + 1]) continue;
                Fd dir(::open(paths_[d].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
                if (!dir.valid()) return failure_.report("open", paths_[d], errno);
                for (std::uint32_t k = start[d]; k < start[d + 1]; ++k) {
                    if (!write_file(dir.get(), static_cast<std::uint32_t>(d),
                                    plan_.files[order[k]]))
                        return;
                }
            }
        };
        std::vector<std::jthread> pool;
        for (unsigned i = 1; i < threads; ++i) pool.emplace_back(worker);
        worker();
    }

    bool write_file(int dir_fd, std::uint32_t dir, const File& file) {
        const std::string name(plan_.view(file.name));
        Fd fd(::openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (!fd.valid()) {
            failure_.report("create", entry_path(dir, file.name), errno);
            return false;
        }
        const char* data = data_.get() + file.data_offset;
        std::size_t left = file.size;
        // One write() almost always covers the file; loop only for the rare short write.
        while (left > 0) {
            const ssize_t n = ::write(fd.get(), data, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failure_.report("write", entry_path(dir, file.name), n < 0 ? errno : EIO);
                return false;
            }
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        if (fd.release_and_close() != 0) {
            failure_.report("close", entry_path(dir, file.name), errno);
            return false;
        }
        return true;
    }

    void make_links() {
        for (const Symlink& link : plan_.symlinks) {
            const std::string path = entry_path(link.dir, link.name);
            const std::string target(plan_.view(link.target));
            if (::symlink(target.c_str(), path.c_str()) != 0)
                return failure_.report("symlink", path, errno);
        }
        for (const Hardlink& link : plan_.hardlinks) {
            const File& file = plan_.files[link.file];
            const std::string source = entry_path(file.dir, file.name);
            const std::string path = entry_path(link.dir, link.name);
            if (::link(source.c_str(), path.c_str()) != 0)
                return failure_.report("link", path, errno);
        }
    }

    const Plan& plan_;
    std::vector<std::string> paths_;
    std::unique_ptr<char[]> data_;
    Failure failure_;
};

// DEST must not exist yet, or be an empty directory.
bool prepare_root(const std::string& dest) {
    if (::mkdir(dest.c_str(), 0755) == 0) return true;
    if (errno != EEXIST) {
        std::fprintf(stderr, "tidewell-gentree: cannot create '%s': %s\n", dest.c_str(),
                     std::strerror(errno));
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(dest, ec) || !std::filesystem::is_empty(dest, ec) || ec) {
        std::fprintf(stderr, "tidewell-gentree: '%s' exists and is not an empty directory\n",
                     dest.c_str());
        return false;
    }
    return true;
}

template <typename T>
bool parse_number(std::string_view text, T& out) {
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc{} && ptr == end && !text.empty();
}

int usage() {
    std::fprintf(stderr, "usage: tidewell-gentree DEST N [--seed S]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> positional;
    std::uint64_t seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--seed") {
            if (i + 1 >= argc || !parse_number(argv[++i], seed)) return usage();
        } else if (arg.starts_with("--seed=")) {
            if (!parse_number(arg.substr(7), seed)) return usage();
        } else if (arg == "-h" || arg == "--help") {
            usage();
            return 0;
        } else {
            positional.push_back(arg);
        }
    }
    std::uint64_t entries = 0;
    if (positional.size() != 2 || !parse_number(positional[1], entries)) return usage();
    if (entries >= (std::uint64_t{1} << 31)) {
        std::fprintf(stderr, "tidewell-gentree: N is too large\n");
        return 2;
    }

    const std::string dest(positional[0]);
    Plan plan = Planner(seed, entries).take();
    if (!prepare_root(dest)) return 1;

    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1U, 8U);
    if (auto error = Writer(plan, dest).run(threads)) {
        std::fprintf(stderr, "tidewell-gentree: %s\n", error->c_str());
        return 1;
    }

    std::uint64_t bytes = 0;
    for (const File& f : plan.files) bytes += f.size;
    std::printf("%s: %zu files, %zu dirs, %zu symlinks, %zu hardlinks, %llu bytes written\n",
                dest.c_str(), plan.files.size(), plan.dirs.size() - 1, plan.symlinks.size(),
                plan.hardlinks.size(), static_cast<unsigned long long>(bytes));
    return 0;
}

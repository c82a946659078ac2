// tidewell-cache-bench: times a full scan of a tree against saving it to the
// tree cache and loading it back, in one process, and reports the cache file
// size and each step's peak RSS.
//
// usage: tidewell-cache-bench TREE [ROUNDS]
//
// Prints one "key value" line per figure (medians in seconds, RSS in KiB) for
// run-cache-bench to tabulate. The cache goes to a temporary XDG_DATA_HOME,
// removed at exit.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan_engine.h"
#include "tree_cache.h"

namespace {

using tidewell::FileNode;
using tidewell::NodeRef;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "tidewell-cache-bench: %s\n", what.c_str());
    std::exit(1);
}

// A /proc/self/status figure in KiB: VmRSS now, VmHWM the peak since the last reset.
long statusKiB(std::string_view key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(key) && line.size() > key.size() && line[key.size()] == ':')
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
    return -1;
}

// Lets each step report its own peak rather than the process's so far.
void resetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 != 0 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Step {
    double median;
    long peakKiB;
    long baseKiB;  // resident when the step began
};

Step timeRounds(int rounds, const std::function<void()>& body) {
    std::vector<double> seconds;
    resetPeakRss();
    const long base = statusKiB("VmRSS");
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        body();
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::fprintf(stderr, "tidewell-cache-bench:   round %d/%d %.3fs\n", i + 1, rounds,
                     seconds.back());
    }
    return {median(seconds), statusKiB("VmHWM"), base};
}

struct Census {
    std::size_t nodes = 0;
    std::size_t nameBytes = 0;
};

Census census(const FileNode& root) {
    Census c;
    std::vector<const FileNode*> stack{&root};
    while (!stack.empty()) {
        const FileNode* n = stack.back();
        stack.pop_back();
        ++c.nodes;
        c.nameBytes += n->name().size();
        for (const FileNode* child : n->children()) stack.push_back(child);
    }
    return c;
}

// A temporary data folder for the cache, removed on the way out.
class TempDataHome {
  public:
    TempDataHome() {
        std::string tmpl =
            std::filesystem::temp_directory_path().string() + "/tidewell-cache-bench-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr) die("cannot make a temporary folder");
        path_ = tmpl;
        ::setenv("XDG_DATA_HOME", path_.c_str(), 1);
    }
    ~TempDataHome() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDataHome(const TempDataHome&) = delete;
    TempDataHome& operator=(const TempDataHome&) = delete;

  private:
    std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s TREE [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 5;
    if (rounds < 1) die("ROUNDS must be a positive integer");
    std::error_code ec;
    const std::string tree = std::filesystem::canonical(argv[1], ec).string();
    if (ec) die(std::string("cannot resolve ") + argv[1]);
    TempDataHome dataHome;

    tidewell::ScanEngine engine;
    NodeRef root;
    auto scan = [&] {
        root = NodeRef();  // the previous tree goes first, as it would in the app
        root = engine.scan(tree, std::nullopt, {}, {}, {});
        if (!root) die("scan failed");
    };
    std::fprintf(stderr, "tidewell-cache-bench: warming up with one scan\n");
    scan();
    root = NodeRef();  // so that the scan step's own memory shows
    std::fprintf(stderr, "tidewell-cache-bench: scan\n");
    const Step scanStep = timeRounds(rounds, scan);

    std::fprintf(stderr, "tidewell-cache-bench: save\n");
    const Step saveStep = timeRounds(rounds, [&] {
        if (!tidewell::TreeCache::save(*root, tree, 42)) die("save failed");
    });
    const Census sizes = census(*root);
    root = NodeRef();  // load is measured without the scanned tree in memory

    const std::string file = tidewell::TreeCache::filePath(tree).value_or("");
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) die("no cache file at " + file);

    std::fprintf(stderr, "tidewell-cache-bench: load\n");
    std::size_t loadedNodes = 0;
    const Step loadStep = timeRounds(rounds, [&] {
        std::optional<tidewell::TreeCache::Loaded> loaded = tidewell::TreeCache::load(tree);
        if (!loaded || loaded->eventId != 42) die("load failed");
        loadedNodes = census(*loaded->root).nodes;
    });
    // Counted outside the timed part: the walk above is for checking only.
    if (loadedNodes != sizes.nodes) die("loaded tree differs from the scanned one");

    const std::size_t floorBytes = 15 * sizes.nodes + sizes.nameBytes;
    std::printf("tree %s\n", tree.c_str());
    std::printf("rounds %d\n", rounds);
    std::printf("nodes %zu\n", sizes.nodes);
    std::printf("name_bytes %zu\n", sizes.nameBytes);
    std::printf("file_bytes %lld\n", static_cast<long long>(st.st_size));
    std::printf("record_floor_bytes %zu\n", floorBytes);
    std::printf("scan_s %.4f\n", scanStep.median);
    std::printf("save_s %.4f\n", saveStep.median);
    std::printf("load_s %.4f\n", loadStep.median);
    std::printf("save_vs_scan %.3f\n", saveStep.median / scanStep.median);
    std::printf("load_vs_scan %.3f\n", loadStep.median / scanStep.median);
    std::printf("scan_peak_kib %ld\n", scanStep.peakKiB);
    std::printf("save_peak_kib %ld\n", saveStep.peakKiB);
    std::printf("load_peak_kib %ld\n", loadStep.peakKiB);
    std::printf("scan_base_kib %ld\n", scanStep.baseKiB);
    std::printf("save_base_kib %ld\n", saveStep.baseKiB);
    std::printf("load_base_kib %ld\n", loadStep.baseKiB);
    return 0;
}

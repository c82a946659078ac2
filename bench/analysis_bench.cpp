// tidewell-analysis-bench: times the analyses the results screen runs on a
// scanned tree, the top files and smart cleanup, on a real scan.
//
// usage: tidewell-analysis-bench TREE [ROUNDS]
//
// Prints one "key value" line per figure: medians in milliseconds over ROUNDS
// (default 5) runs, and the counts that explain them. Smart cleanup touches
// the disk only for candidates, so the deletability tests are also timed on
// their own, once per directory of the tree, as a cost per candidate.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "scan_engine.h"
#include "smart_cleanup.h"
#include "top_files.h"
#include "trasher.h"

namespace {

using tidewell::FileNode;
using tidewell::NodeRef;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "tidewell-analysis-bench: %s\n", what.c_str());
    std::exit(1);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 != 0 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <typename F>
double millis(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

template <typename F>
double medianMillis(int rounds, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) times.push_back(millis(f));
    return median(times);
}

// The deletability test spelled out with the plain calls: the item can be
// examined, is the user's own, and sits in a folder the user may write.
bool ownedInWritableFolder(std::string_view p) {
    const std::string path(p);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || st.st_uid != ::getuid()) return false;
    const std::size_t slash = path.rfind('/');
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    return ::access(parent.c_str(), W_OK) == 0;
}

void collectDirectoryPaths(const FileNode& node, const std::string& path,
                           std::vector<std::string>& out) {
    for (const FileNode* child : node.children()) {
        if (!child->isDirectory()) continue;
        std::string p = path + "/" + std::string(child->name());
        collectDirectoryPaths(*child, p, out);
        out.push_back(std::move(p));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) die("usage: tidewell-analysis-bench TREE [ROUNDS]");
    const std::string tree = argv[1];
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 5;
    if (rounds < 1) die("ROUNDS must be at least 1");

    tidewell::ScanEngine engine;
    NodeRef root;
    const double scanMs = millis([&] { root = engine.scan(tree, std::nullopt, {}, {}, {}); });
    if (!root) die("cannot scan " + tree);
    std::printf("scan_ms %.1f\n", scanMs);

    std::size_t topCount = 0;
    std::printf("top100_ms %.3f\n", medianMillis(rounds, [&] {
                    topCount = tidewell::computeTopFiles(*root, 100).size();
                }));
    std::printf("top100_items %zu\n", topCount);

    std::size_t calls = 0;
    std::size_t categories = 0;
    const auto run = [&](const std::function<bool(std::string_view)>& test) {
        return medianMillis(rounds, [&] {
            calls = 0;
            categories = tidewell::SmartCleanup::analyze(*root, [&](std::string_view p) {
                             ++calls;
                             return test(p);
                         }).size();
        });
    };
    std::printf("smart_always_true_ms %.3f\n", run([](std::string_view) { return true; }));
    std::printf("smart_access_ms %.3f\n", run(ownedInWritableFolder));
    std::printf("smart_trasher_ms %.3f\n",
                run([](std::string_view p) { return tidewell::Trasher::canDelete(p); }));
    std::printf("smart_candidates %zu\n", calls);
    std::printf("smart_categories %zu\n", categories);

    // The cost a candidate adds, measured over every directory of the tree.
    std::vector<std::string> dirs;
    collectDirectoryPaths(*root, root->path(), dirs);
    std::size_t yes = 0;
    const auto perCall = [&](const std::function<bool(std::string_view)>& test) {
        const double ms = medianMillis(rounds, [&] {
            yes = 0;
            for (const std::string& d : dirs) yes += test(d) ? 1 : 0;
        });
        return ms * 1000.0 / static_cast<double>(std::max<std::size_t>(dirs.size(), 1));
    };
    std::printf("directories %zu\n", dirs.size());
    std::printf("access_test_us_per_path %.3f\n", perCall(ownedInWritableFolder));
    std::printf("access_test_passed %zu\n", yes);
    std::printf("trasher_test_us_per_path %.3f\n",
                perCall([](std::string_view p) { return tidewell::Trasher::canDelete(p); }));
    std::printf("trasher_test_passed %zu\n", yes);
    return 0;
}

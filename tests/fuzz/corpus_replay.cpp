// Runs the fuzz target's entry point over every file of the seed corpus (or
// the files named on the command line), so that any build, not only a
// fuzzing one, keeps every input the fuzzer once found in the test suite.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "tree_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    if (argc > 1) {
        inputs.assign(argv + 1, argv + argc);
    } else {
        for (const auto& entry : fs::directory_iterator(TIDEWELL_TREE_CACHE_CORPUS))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
    }
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", p.c_str());
            return 1;
        }
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        // Seeds named valid-* must keep loading (for the root path the fuzz
        // target uses), and seeds named broken-* must keep failing.
        const std::string name = p.filename().string();
        const bool loads =
            tidewell::TreeCache::decode(
                {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}, "/r")
                .has_value();
        if (name.starts_with("valid-") && !loads) {
            std::fprintf(stderr, "%s no longer loads\n", p.c_str());
            return 1;
        }
        if (name.starts_with("broken-") && loads) {
            std::fprintf(stderr, "%s loads\n", p.c_str());
            return 1;
        }
    }
    // An empty corpus would pass while testing nothing.
    std::printf("replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}

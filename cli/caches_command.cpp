#include "caches_command.h"

#include <unistd.h>

#include <iomanip>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cache_folders.h"
#include "display_text.h"
#include "size_format.h"
#include "user_dirs.h"

namespace tidewell::cli {

namespace {

constexpr std::string_view kUsage =
    "Kullanım: tidewell-cli caches [--clean GÖRELİ_YOL] [--yes]\n"
    "  --clean GÖRELİ_YOL   ev klasörüne göre yolu verilen önbelleği boşaltır\n"
    "  --yes                onay sormaz (terminal dışında gerekir)\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

std::string sizeText(const std::optional<std::int64_t>& bytes) {
    return bytes ? formatBytes(*bytes) : std::string("—");
}

std::optional<std::int64_t> measured(const std::string& folder) {
    const std::optional<QuickSizer::Totals> totals = CacheFolders::measure(folder);
    return totals ? std::optional(totals->bytes) : std::nullopt;
}

// A target whose folder is there, with where that folder is.
struct Present {
    const CacheFolders::Target* target;
    std::string folder;
};

std::vector<Present> presentTargets(const std::string& home) {
    std::vector<Present> out;
    for (const CacheFolders::Target& t : CacheFolders::targets()) {
        std::string folder = CacheFolders::folderOf(home, t.relativePath);
        if (CacheFolders::isPresent(folder)) out.push_back({&t, std::move(folder)});
    }
    return out;
}

bool confirmed(const Present& p, const std::optional<std::int64_t>& bytes) {
    if (p.target->warning) std::cerr << *p.target->warning << '\n';
    std::cerr << p.target->name << " (" << repairUtf8(p.folder) << ", " << sizeText(bytes)
              << ") boşaltılsın mı? [e/H] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "e" || answer == "E" || answer == "evet" || answer == "Evet";
}

}  // namespace

int runCachesCommand(std::span<const std::string_view> args) {
    std::optional<std::string> cleanPath;
    bool yes = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--yes") {
            yes = true;
        } else if (args[i] == "--clean" && i + 1 < args.size() && !cleanPath) {
            cleanPath = std::string(args[++i]);
        } else {
            return usage();
        }
    }
    if (cleanPath && !yes && ::isatty(STDIN_FILENO) == 0) {
        std::cerr << "tidewell-cli: onay sorulamıyor (standart girdi bir terminal değil); "
                     "boşaltmak için --yes ver\n";
        return 2;
    }

    // The home the application's quick clean uses, without a trailing "/".
    std::string home = homeDirectory().value_or("/");
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (::access(home.c_str(), R_OK) != 0) {
        std::cerr << "tidewell-cli: ev klasörü okunamıyor: " << repairUtf8(home) << '\n';
        return 1;
    }
    const std::vector<Present> present = presentTargets(home);

    if (!cleanPath) {
        if (present.empty()) {
            std::cout << "Önbellek klasörü bulunamadı.\n";
            return 0;
        }
        for (const Present& p : present)
            std::cout << std::setw(10) << sizeText(measured(p.folder)) << "  " << p.target->name
                      << " (" << p.target->relativePath << ")\n";
        return 0;
    }

    const Present* chosen = nullptr;
    for (const Present& p : present)
        if (p.target->relativePath == *cleanPath) chosen = &p;
    if (chosen == nullptr) {
        std::cerr << "tidewell-cli: böyle bir önbellek klasörü yok: " << repairUtf8(*cleanPath)
                  << '\n';
        return 1;
    }
    if (!yes && !confirmed(*chosen, measured(chosen->folder))) {
        std::cerr << "Vazgeçildi.\n";
        return 1;
    }
    const std::int64_t failures =
        CacheFolders::emptyFolder(chosen->folder, chosen->target->isTrashBin);
    std::cout << chosen->target->name << " boşaltıldı · şimdi "
              << sizeText(measured(chosen->folder)) << '\n';
    if (failures > 0) {
        std::cerr << "tidewell-cli: " << failures << " öğe silinemedi\n";
        return 1;
    }
    return 0;
}

}  // namespace tidewell::cli

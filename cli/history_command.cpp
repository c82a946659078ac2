#include "history_command.h"

#include <sys/stat.h>

#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "change_tracker.h"
#include "display_text.h"
#include "history_roots.h"
#include "journal.h"
#include "journal_history.h"
#include "journal_writer.h"
#include "text_output.h"

namespace tidewell::cli {

namespace {

constexpr std::string_view kUsage =
    "Kullanım: tidewell-cli history watch KÖK\n"
    "          tidewell-cli history now\n"
    "          tidewell-cli history changes KÖK --since KİMLİK\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

std::optional<std::string> directoryArgument(std::string_view arg) {
    std::error_code ec;
    std::string p = std::filesystem::absolute(std::string(arg), ec).string();
    if (ec) return std::nullopt;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return p;
}

int watch(const std::string& dir, std::string_view arg) {
    const std::optional<std::string> root = directoryArgument(arg);
    if (!root) {
        std::cerr << "tidewell-cli: " << repairUtf8(arg) << " bir klasör değil\n";
        return 1;
    }
    if (!history::addListedRoot(dir, *root)) {
        std::cerr << "tidewell-cli: " << dir << "/roots yazılamadı\n";
        return 1;
    }
    if (!journal::writerIsRunning(dir)) {
        std::cout << "Listeye eklendi: " << repairUtf8(*root)
                  << "\nKayıt, tidewell-historyd hizmeti (ya da Tidewell) çalıştığında başlar.\n";
        return 0;
    }
    // The recorder records the root before it answers this sync.
    const JournalHistory::Synced synced = JournalHistory(dir).sync(std::chrono::seconds(30), *root);
    if (synced.id) {
        if (const auto r = history::coveringRoot(dir, *root, *synced.id)) {
            std::cout << "Kaydediliyor: " << repairUtf8(*root) << " (kimlik " << r->since
                      << " itibarıyla)\n";
            return 0;
        }
    }
    std::cout << "Listeye eklendi: " << repairUtf8(*root)
              << "\nBu kök şu an kaydedilemiyor (izlenemeyen bir dosya sistemi ya da klasör).\n";
    return 0;
}

int changes(const std::string& dir, std::span<const std::string_view> args) {
    std::optional<std::string_view> rootArg;
    std::optional<std::uint64_t> since;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--since" && i + 1 < args.size()) {
            since = parseNumber<std::uint64_t>(args[++i]);
            if (!since) return usage();
        } else if (!rootArg && !args[i].starts_with("--")) {
            rootArg = args[i];
        } else {
            return usage();
        }
    }
    if (!rootArg || !since) return usage();
    std::error_code ec;
    std::string root = std::filesystem::absolute(std::string(*rootArg), ec).string();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    JournalHistory history(dir);
    const ChangeTracker::Answer answer = ChangeTracker::ask(history, root, *since, 60000, 15.0);
    if (!answer.changes) {
        std::cout << "unreliable: " << answer.reason << '\n';
        return 3;
    }
    for (const std::string& d : answer.changes->subtreeDirs) std::cout << "subtree " << d << '\n';
    for (const std::string& d : answer.changes->changedDirs) std::cout << "changed " << d << '\n';
    return 0;
}

}  // namespace

int runHistoryCommand(std::span<const std::string_view> args) {
    if (args.empty()) return usage();
    const std::optional<std::string> dir = journal::historyDirectory();
    if (!dir) {
        std::cerr << "tidewell-cli: geçmiş klasörü açılamadı\n";
        return 1;
    }
    if (args[0] == "now" && args.size() == 1) {
        // The recorder's answer covers what it has seen but not yet written.
        JournalHistory history(*dir);
        const JournalHistory::Synced synced = history.sync(std::chrono::seconds(10));
        std::cout << (synced.id ? *synced.id : history.currentEventId()) << '\n';
        return 0;
    }
    if (args[0] == "watch" && args.size() == 2) return watch(*dir, args[1]);
    if (args[0] == "changes") return changes(*dir, args.subspan(1));
    return usage();
}

}  // namespace tidewell::cli

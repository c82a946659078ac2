// tidewell-cli-caches: `tidewell-cli caches` runs here, so that tidewell-cli
// stays free of Qt. It drives the quick-clean model without a window: lists
// the cache folders present with their sizes, or empties one of them.
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <iomanip>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "display_text.h"
#include "quick_clean_model.h"
#include "size_format.h"

namespace {

constexpr std::string_view kUsage =
    "Kullanım: tidewell-cli caches [--clean GÖRELİ_YOL] [--yes]\n"
    "  --clean GÖRELİ_YOL   ev klasörüne göre yolu verilen önbelleği boşaltır\n"
    "  --yes                onay sormaz (terminal dışında gerekir)\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

std::string text(const QString& s) {
    return tidewell::repairUtf8(s.toStdString());
}

std::string sizeText(const std::optional<qint64>& bytes) {
    return bytes ? tidewell::formatBytes(*bytes) : std::string("—");
}

// Runs the event loop until `done` holds.
template <typename Done>
void runUntil(QCoreApplication& app, Done done) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (done()) app.quit();
    });
    poll.start(20);
    if (!done()) app.exec();
}

const tidewell::QuickCleanModel::Row* rowOf(const tidewell::QuickCleanModel& model,
                                            const QString& relativePath) {
    for (const auto& row : model.rows())
        if (row.target.relativePath == relativePath) return &row;
    return nullptr;
}

bool confirmed(const tidewell::QuickCleanModel::Row& row, const tidewell::QuickCleanModel& model) {
    if (row.target.warning) std::cerr << text(*row.target.warning) << '\n';
    std::cerr << text(row.target.name) << " (" << text(model.folderOf(row.target.relativePath))
              << ", " << sizeText(row.bytes) << ") boşaltılsın mı? [e/H] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "e" || answer == "E" || answer == "evet" || answer == "Evet";
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<QString> cleanPath;
    bool yes = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--yes") {
            yes = true;
        } else if (a == "--clean" && i + 1 < argc && !cleanPath) {
            cleanPath = QFile::decodeName(argv[++i]);
        } else {
            return usage();
        }
    }
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    if (cleanPath && !yes && !terminal) {
        std::cerr << "tidewell-cli: onay sorulamıyor (standart girdi bir terminal değil); "
                     "boşaltmak için --yes ver\n";
        return 2;
    }

    QCoreApplication app(argc, argv);
    tidewell::QuickCleanModel model;
    if (!model.hasAccess()) {
        std::cerr << "tidewell-cli: ev klasörü okunamıyor: " << text(model.home()) << '\n';
        return 1;
    }
    model.refresh();
    runUntil(app, [&] { return !model.isRefreshing(); });

    if (!cleanPath) {
        if (model.rows().empty()) {
            std::cout << "Önbellek klasörü bulunamadı.\n";
            return 0;
        }
        for (const auto& row : model.rows())
            std::cout << std::setw(10) << sizeText(row.bytes) << "  " << text(row.target.name)
                      << " (" << text(row.target.relativePath) << ")\n";
        return 0;
    }

    const auto* row = rowOf(model, *cleanPath);
    if (!row) {
        std::cerr << "tidewell-cli: böyle bir önbellek klasörü yok: " << text(*cleanPath) << '\n';
        return 1;
    }
    if (!yes && !confirmed(*row, model)) {
        std::cerr << "Vazgeçildi.\n";
        return 1;
    }
    model.clean(*cleanPath);
    runUntil(app, [&] {
        const auto* r = rowOf(model, *cleanPath);
        return !r || !r->isCleaning;
    });
    row = rowOf(model, *cleanPath);
    if (!row) return 1;
    std::cout << text(row->target.name) << " boşaltıldı · şimdi " << sizeText(row->bytes) << '\n';
    if (row->errorText) {
        std::cerr << "tidewell-cli: " << text(*row->errorText) << '\n';
        return 1;
    }
    return 0;
}

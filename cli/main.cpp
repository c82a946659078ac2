// tidewell-cli: Tidewell's scanner for terminals and scripts.
#include <iostream>
#include <string_view>
#include <vector>

#include "caches_command.h"
#include "history_command.h"
#include "report_command.h"
#include "scan_command.h"

namespace {

constexpr std::string_view kUsage =
    "Kullanım: tidewell-cli KOMUT ...\n"
    "Komutlar:\n"
    "  scan YOL [--depth N] [--json] [--whole-disk]   bir klasörü tarar ve boyutunu yazar\n"
    "  scan --cached YOL [--depth N]                  önbellekten günceller ya da tarar\n"
    "  top [--cached] YOL [-n N]                      en büyük N dosyayı yazar (varsayılan 100)\n"
    "  smart [--cached] YOL                           yeniden oluşturulabilir yükleri yazar\n"
    "  history watch KÖK                              KÖK'teki değişiklikleri kaydettirir\n"
    "  history now                                    geçmişin en yeni kimliğini yazar\n"
    "  history changes KÖK --since KİMLİK             o kimlikten beri değişen klasörleri yazar\n"
    "  caches [--clean GÖRELİ_YOL] [--yes]            önbellek klasörlerini yazar ya da birini "
    "boşaltır\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cerr << kUsage;
        return args.empty() ? 2 : 0;
    }
    const std::string_view command = args[0];
    const std::span<const std::string_view> rest(args.data() + 1, args.size() - 1);
    if (command == "scan") return tidewell::cli::runScanCommand(rest);
    if (command == "history") return tidewell::cli::runHistoryCommand(rest);
    if (command == "top") return tidewell::cli::runTopCommand(rest);
    if (command == "smart") return tidewell::cli::runSmartCommand(rest);
    if (command == "caches") return tidewell::cli::runCachesCommand(rest);
    std::cerr << "tidewell-cli: bilinmeyen komut: " << command << '\n' << kUsage;
    return 2;
}

#include "quick_clean_target.h"

#include <QCoreApplication>

namespace tidewell {

namespace {

QString localised(const char* text) {
    return QCoreApplication::translate("QuickClean", text);
}

std::vector<QuickCleanTarget> makeTargets() {
    const QString trashWarning =
        localised("Çöp Kutusu tamamen boşaltılır — bu işlem geri alınamaz.");
    return {
        {QStringLiteral("Xcode DerivedData"), QStringLiteral("Library/Developer/Xcode/DerivedData"),
         QStringLiteral("hammer"), std::nullopt, false},
        {QStringLiteral("Xcode Archives"), QStringLiteral("Library/Developer/Xcode/Archives"),
         QStringLiteral("archivebox"),
         QStringLiteral("Dağıtım arşivleri ve dSYM'ler burada — App Store'a gönderdiğin "
                        "sürümlerin sembolleri silinir."),
         false},
        {QStringLiteral("iOS DeviceSupport"),
         QStringLiteral("Library/Developer/Xcode/iOS DeviceSupport"), QStringLiteral("iphone"),
         std::nullopt, false},
        {localised("Simülatör önbelleği"), QStringLiteral("Library/Developer/CoreSimulator/Caches"),
         QStringLiteral("ipad.landscape"), std::nullopt, false},
        {localised("Xcode önbelleği"), QStringLiteral("Library/Caches/com.apple.dt.Xcode"),
         QStringLiteral("wrench.and.screwdriver"), std::nullopt, false},
        {localised("npm önbelleği"), QStringLiteral(".npm"), QStringLiteral("shippingbox"),
         std::nullopt, false},
        {localised("Yarn önbelleği"), QStringLiteral("Library/Caches/Yarn"),
         QStringLiteral("shippingbox.fill"), std::nullopt, false},
        {localised("CocoaPods önbelleği"), QStringLiteral("Library/Caches/CocoaPods"),
         QStringLiteral("cube.box"), std::nullopt, false},
        {localised("Homebrew önbelleği"), QStringLiteral("Library/Caches/Homebrew"),
         QStringLiteral("mug"), std::nullopt, false},
        {localised("Çöp Kutusu"), QStringLiteral(".Trash"), QStringLiteral("trash"), trashWarning,
         true},
        // Linux.
        {localised("pip önbelleği"), QStringLiteral(".cache/pip"), QStringLiteral("shippingbox"),
         std::nullopt, false},
        {localised("Yarn önbelleği"), QStringLiteral(".cache/yarn"),
         QStringLiteral("shippingbox.fill"), std::nullopt, false},
        {localised("pnpm deposu"), QStringLiteral(".local/share/pnpm/store"),
         QStringLiteral("shippingbox"), std::nullopt, false},
        {localised("Cargo önbelleği"), QStringLiteral(".cargo/registry/cache"),
         QStringLiteral("cube.box"), std::nullopt, false},
        {localised("Gradle önbelleği"), QStringLiteral(".gradle/caches"), QStringLiteral("hammer"),
         std::nullopt, false},
        {localised("Maven deposu"), QStringLiteral(".m2/repository"), QStringLiteral("archivebox"),
         std::nullopt, false},
        {localised("Go derleme önbelleği"), QStringLiteral(".cache/go-build"),
         QStringLiteral("hammer"), std::nullopt, false},
        {localised("Küçük resim önbelleği"), QStringLiteral(".cache/thumbnails"),
         QStringLiteral("photo"), std::nullopt, false},
        {localised("Çöp Kutusu"), QString::fromLatin1(kHomeTrashFiles), QStringLiteral("trash"),
         trashWarning, true},
    };
}

}  // namespace

const std::vector<QuickCleanTarget>& quickCleanTargets() {
    static const std::vector<QuickCleanTarget> targets = makeTargets();
    return targets;
}

}  // namespace tidewell

#include "quick_clean_target.h"

#include <QCoreApplication>

#include "cache_folders.h"

namespace tidewell {

namespace {

QString localised(const std::string& text) {
    return QCoreApplication::translate("QuickClean", text.c_str());
}

std::vector<QuickCleanTarget> makeTargets() {
    std::vector<QuickCleanTarget> out;
    for (const CacheFolders::Target& t : CacheFolders::targets())
        out.push_back({localised(t.name), QString::fromStdString(t.relativePath),
                       QString::fromStdString(t.icon),
                       t.warning ? std::optional(localised(*t.warning)) : std::nullopt,
                       t.isTrashBin});
    return out;
}

}  // namespace

const std::vector<QuickCleanTarget>& quickCleanTargets() {
    static const std::vector<QuickCleanTarget> targets = makeTargets();
    return targets;
}

}  // namespace tidewell

// The fixed set of well-known cache folders the quick-clean panel offers to
// empty, each below the user's real home directory.
#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "cache_folders.h"

namespace tidewell {

struct QuickCleanTarget {
    QString name;                    // shown to the user
    QString relativePath;            // below the real home directory; identifies the target
    QString icon;                    // symbol name the panel maps to an icon
    std::optional<QString> warning;  // extra caution for the confirmation
    bool isTrashBin = false;         // emptied for good instead of moved to the Trash

    const QString& id() const { return relativePath; }
    bool operator==(const QuickCleanTarget&) const = default;
};

// The id of the freedesktop Trash row. Its folder is the `files` folder of
// the Trash that deletions fill: under $XDG_DATA_HOME when that is set.
using CacheFolders::kHomeTrashFiles;

// The cache folders' targets in their list order, with the texts in the
// user's language. Built once, on first use; never changes.
const std::vector<QuickCleanTarget>& quickCleanTargets();

}  // namespace tidewell

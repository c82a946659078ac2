// The well-known cache folders that quick clean offers to empty, each below
// the user's home: which there are, where each one's folder is, measuring it
// and emptying it through the Trasher's safety rules. Shared by the
// quick-clean panel's model and `tidewell-cli caches`. No shared state: safe
// from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "quick_sizer.h"

namespace tidewell::CacheFolders {

struct Target {
    std::string name;                    // shown to the user
    std::string relativePath;            // below the home; identifies the target
    std::string icon;                    // symbol name the panel maps to an icon
    std::optional<std::string> warning;  // extra caution for the confirmation
    bool isTrashBin = false;             // emptied for good instead of moved to the Trash
    bool operator==(const Target&) const = default;
};

// The id of the freedesktop Trash row. Its folder is the `files` folder of
// the Trash that deletions fill: under $XDG_DATA_HOME when that is set.
inline constexpr char kHomeTrashFiles[] = ".local/share/Trash/files";

// The other platform's ten targets first, unchanged, then the Linux ones.
// Built once, on first use; never changes.
const std::vector<Target>& targets();

// The absolute folder of the target with this relative path under `home`;
// for the Trash row, the files folder of the Trash that deletions fill.
std::string folderOf(std::string_view home, std::string_view relativePath);

// Whether a target's folder is there; a symbolic link counts (it is the
// folder the tool uses).
bool isPresent(const std::string& folder);

// The folder a target's measuring and emptying work on: its real path, since
// the deletion layer refuses any path that leads through a symbolic link. A
// target that is itself a link to a folder stands for that folder only when
// the folder is the user's own. Nothing for a target that is no folder.
std::optional<std::string> workingFolder(const std::string& folder);

// What the target's folder holds; nothing when it is no folder of the user's
// or the measuring was cancelled.
std::optional<QuickSizer::Totals> measure(const std::string& folder, std::stop_token stop = {});

// A folder about to be emptied: its entries, named under its real path.
struct Emptying {
    std::string folder;      // the working folder; empty when there is nothing to empty
    std::string infoFolder;  // the Trash's "info" folder, for the Trash row only
    std::vector<std::string> names;
    bool permanently = false;  // the Trash row is emptied for good
};
Emptying listForEmptying(const std::string& folder, bool isTrashBin);

// What became of one entry of a folder being emptied.
enum class Removal { removed, skipped, failed };

// Removes one entry the way its target wants. Entries the safety rules
// refuse are left alone (skipped); a Trash entry takes its .trashinfo with it.
Removal removeEntry(const Emptying& emptying, const std::string& name);

// Every entry removed in turn; the number that could not be.
std::int64_t emptyFolder(const std::string& folder, bool isTrashBin);

}  // namespace tidewell::CacheFolders

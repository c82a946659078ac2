// Every removal of a file or folder goes through here: system locations and
// items the user does not own are refused before anything is touched, and
// every refusal or failure comes back as a TrashError the user can read.
// No shared state: safe to call from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tidewell::Trasher {

enum class TrashErrorKind { protectedPath, notOwned, failed };

struct TrashError {
    TrashErrorKind kind;
    std::string path;        // the standardised path
    std::string underlying;  // for `failed`: the system's own description, in the user's locale

    std::string description() const;
    bool operator==(const TrashError&) const = default;
};

// True for "/", anything directly under it, and the protected system folders
// and everything inside them (matched on whole components). A relative path
// cannot be judged and counts as protected.
bool isProtected(std::string_view path);
// Not protected, owned by the current user (a symbolic link is judged
// itself) and in a folder the user may write to. Cheap: one lstat, one access.
bool canDelete(std::string_view path);
// Standardises the path (".", ".." and repeated or trailing "/" resolved
// without following links); nothing when the item may be removed.
std::optional<TrashError> check(std::string_view path);
// Moves the item into the freedesktop.org Trash of its own file system with
// one rename (never a copy); nothing when done.
std::optional<TrashError> moveToTrash(std::string_view path);
// Removes the item for good without ever following a symbolic link or
// leaving the item's file system; nothing when done.
std::optional<TrashError> deletePermanently(std::string_view path);
// $XDG_DATA_HOME/Trash (default ~/.local/share/Trash); nothing without a home.
std::optional<std::string> homeTrash();

}  // namespace tidewell::Trasher

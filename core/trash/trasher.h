// Every removal of a file or folder goes through here: system locations and
// items the user does not own are refused before anything is touched, and
// every refusal or failure comes back as a TrashError the user can read.
//
// Paths are taken as they are and never resolved: one that is not canonical
// (absolute, without empty, "." or ".." components, without a trailing "/")
// is refused, and the item is reached from "/" one component at a time
// without following a symbolic link, so what is judged is the real path and
// what is acted on is the entry judged. No shared state: safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tidewell::Trasher {

enum class TrashErrorKind { protectedPath, notOwned, failed };

struct TrashError {
    TrashErrorKind kind;
    std::string path;
    std::string underlying;  // for `failed`: the system's own description, in the user's locale

    std::string description() const;
    bool operator==(const TrashError&) const = default;
};

// True for "/", anything directly under it, and the protected system folders
// and everything inside them (matched on whole components). A path that is
// not canonical cannot be judged and counts as protected.
bool isProtected(std::string_view path);
// Exactly when `check` finds nothing to refuse: a canonical, unprotected path
// reached without a symbolic link on the way, naming an existing entry the
// user owns, in a folder the user may write to, and not a mount point.
bool canDelete(std::string_view path);
// Nothing when the item may be removed. A path that is not canonical, or does
// not exist, or has a symbolic link among its ancestors, is `failed` with the
// system's reason; one whose real location is protected is `protectedPath`.
std::optional<TrashError> check(std::string_view path);
// Moves the item into the freedesktop.org Trash of its own file system with
// one rename (never a copy); nothing when done.
std::optional<TrashError> moveToTrash(std::string_view path);
// Removes the item for good without ever following a symbolic link or
// entering anything mounted inside it; nothing when done.
std::optional<TrashError> deletePermanently(std::string_view path);
// $XDG_DATA_HOME/Trash (default ~/.local/share/Trash); nothing without a home.
std::optional<std::string> homeTrash();

}  // namespace tidewell::Trasher

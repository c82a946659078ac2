// The per-user folders: the home, the XDG base directories Tidewell keeps its
// files in, and the user's Downloads folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tidewell {

// The user's home: $HOME when it is an absolute path, else the user
// database's entry for this uid. The one home lookup of the program.
std::optional<std::string> homeDirectory();
// $XDG_DATA_HOME, else ~/.local/share; nothing without a home.
std::optional<std::string> dataHome();
// The same for a given home: $XDG_DATA_HOME, else `home`/.local/share.
std::string dataHomeFor(std::string_view home);
// $XDG_STATE_HOME, else ~/.local/state; nothing without a home.
std::optional<std::string> stateHome();
// $XDG_CONFIG_HOME, else ~/.config; nothing without a home.
std::optional<std::string> configHome();

// The value of `key` (e.g. "XDG_DOWNLOAD_DIR") in the text of a
// user-dirs.dirs file: a line KEY="$HOME/name" or KEY="/absolute/path",
// with backslash escapes. The last assignment counts. Nothing when the key is
// absent, malformed, or names the home itself (the folder is turned off).
std::optional<std::string> userDirIn(std::string_view text, std::string_view key,
                                     std::string_view home);

// The user's Downloads folder: XDG_DOWNLOAD_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Downloads; nothing without a home.
// Not resolved: the caller follows links where it reads.
std::optional<std::string> downloadsDirectory();

// Creates `path` and missing parents; folders made here get `mode`, and the
// last one is set to `mode` even when it existed. False when it is not a
// directory afterwards.
bool makeDirectories(const std::string& path, unsigned mode);

}  // namespace tidewell

// The per-user folders Tidewell keeps its files in (XDG base directories).
#pragma once

#include <optional>
#include <string>

namespace tidewell {

// The user's home: $HOME, else the user database's entry.
std::optional<std::string> homeDirectory();
// $XDG_DATA_HOME, else ~/.local/share; nothing without a home.
std::optional<std::string> dataHome();
// $XDG_STATE_HOME, else ~/.local/state; nothing without a home.
std::optional<std::string> stateHome();

// Creates `path` and missing parents; folders made here get `mode`, and the
// last one is set to `mode` even when it existed. False when it is not a
// directory afterwards.
bool makeDirectories(const std::string& path, unsigned mode);

}  // namespace tidewell

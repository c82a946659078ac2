// The freedesktop.org Trash: the home trash ($XDG_DATA_HOME/Trash) and the
// per-file-system ones ($topdir/.Trash/$uid, $topdir/.Trash-$uid). An item
// goes in with an exclusive .trashinfo and then one rename, never a copy.
#pragma once

#include <string>
#include <string_view>

#include "unique_fd.h"

namespace tidewell {

struct TrashFolder {
    UniqueFd files;
    UniqueFd info;
};

// Opens (creating what is missing, 0700) the home trash at `trash`, which may
// sit behind the user's own symbolic links. 0 or an errno.
int openHomeTrash(const std::string& trash, TrashFolder& out);
// Opens the trash of the file system whose top folder is open at `topFd`:
// $topdir/.Trash/$uid when the administrator provided a sticky .Trash, else
// $topdir/.Trash-$uid. Nothing on the way is followed. 0 or an errno.
int openTopdirTrash(int topFd, TrashFolder& out);

// The name an item called `name` gets in files/ at the given attempt (1, 2,
// …): its own, then "report 2.pdf", "report 3.pdf"… so the extension stays
// readable. Never empty, and short enough that NAME.trashinfo fits, whatever
// the bytes of `name`.
std::string trashName(std::string_view name, unsigned attempt);
// `path` with every byte outside the unreserved set and "/" written as %XX.
std::string urlEscaped(std::string_view path);

// Moves the entry `name` of the folder open at `parentFd` into `trash`,
// recording `recordedPath` as where it came from. 0 or an errno.
int moveIntoTrash(const TrashFolder& trash, int parentFd, const std::string& name,
                  std::string_view recordedPath);

}  // namespace tidewell

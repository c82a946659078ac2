// Permanent removal of a file or a whole folder tree, by directory
// descriptor only: no symbolic link is ever followed, and nothing mounted
// inside the tree is entered.
#pragma once

#include <string>
#include <string_view>

#include "mount_ids.h"

namespace tidewell {

// Removes the entry `name` of the folder open at `parentFd` (an O_PATH
// descriptor will do) and everything below it. `path` is the entry's absolute
// path (read only when `ids` needs paths); `mount` is the mount the entry
// belongs to: whatever lies on another mount is left in place. The user's
// own folders are made accessible first, so a 0000 or 0300 folder does not
// stop the removal halfway. 0 when the entry is gone, EBUSY when something
// mounted inside kept it, else the errno that stopped it.
int removeTree(int parentFd, const std::string& name, std::string_view path, const MountIds& ids,
               const MountId& mount);

}  // namespace tidewell

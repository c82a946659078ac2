// The mount table as the change recorder sees it: what is mounted where, and
// which file systems change without telling inotify.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mount_table.h"

namespace tidewell::history {

using Mount = MountEntry;

// File systems whose contents can change without an inotify event here:
// network and cluster file systems, FUSE and the kernel's own trees.
bool changesUnseen(std::string_view fsType);

// Why a tree at `root` could change unseen (its own file system or one
// mounted inside it, outside `skips`), or empty when it cannot.
std::string unwatchableReason(const std::vector<Mount>& mounts, std::string_view root,
                              const std::vector<std::string>& skips);

// Mount points mounted or unmounted between two tables.
std::vector<std::string> changedMountPoints(const std::vector<Mount>& before,
                                            const std::vector<Mount>& after);

}  // namespace tidewell::history

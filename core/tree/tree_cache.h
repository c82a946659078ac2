// The tree cache: a scanned tree kept on disk between runs, so that the next
// start shows the last tree at once and the change journal only has to replay
// what happened since the event it was saved at.
//
// One file per scanned root, in $XDG_DATA_HOME/Brackwater/TreeCache/, named
// after a hash of the root path. The format is a header (magic "KVRT", u32
// version, u64 event id, u16-counted root path) and then the tree as nested
// pre-order records (u16-counted name, u8 directory flag, i64 size, u32 child
// count, the children). Integers are little-endian and unaligned. After the
// root's record comes a trailer that a reader of the records alone can skip:
// "KVRC", the u64 number of records, and a u32 CRC-32C of all bytes before it.
//
// A file is a tree only if every byte of it checks out: the checksum and the
// record count match, every folder's size is the sum of its children's (which
// come largest first), and every name below the root is one a directory can
// list. Anything else reads as no cache at all.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_node.h"

namespace tidewell::TreeCache {

// Where the cache file for `rootPath` lives, or nothing when no data folder
// can be found. Creates the folder on the way (failure to do so is left to
// save and load to meet).
std::optional<std::string> filePath(std::string_view rootPath);

// Writes the tree atomically: a reader sees the old file or the new one.
bool save(const FileNode& root, std::string_view rootPath, std::uint64_t eventId);

struct Loaded {
    NodeRef root;
    std::uint64_t eventId;
};

// The tree saved for exactly `rootPath`, or nothing when there is none or the
// file is damaged in any way; never part of a tree.
std::optional<Loaded> load(std::string_view rootPath);

// The file's bytes for a tree (what save writes).
std::vector<unsigned char> encode(const FileNode& root, std::string_view rootPath,
                                  std::uint64_t eventId);

// Reads a whole file's bytes (what load does on the mapping): the records, then
// the trailer, and nothing else.
std::optional<Loaded> decode(std::span<const unsigned char> bytes, std::string_view rootPath);

}  // namespace tidewell::TreeCache

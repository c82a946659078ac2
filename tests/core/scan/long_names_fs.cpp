// A read-only FUSE file system that lists names longer than Linux's own file
// systems allow, as exFAT, NTFS and CIFS mounts do: a 300-byte file name, a
// 765-byte one (255 three-byte UTF-8 characters, the most 255 UTF-16 units
// can become) and a 300-byte folder holding one file.
//
// usage: long-names-fs MOUNTPOINT  (runs in the foreground until unmounted)
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

struct Entry {
    std::string path;
    bool directory;
    blkcnt_t blocks;  // 512-byte units
};

const std::string& euros() {
    static const std::string s = [] {
        std::string out;
        for (int i = 0; i < 255; ++i) out += "\xe2\x82\xac";  // U+20AC
        return out;
    }();
    return s;
}

const Entry* find(const std::string& path) {
    static const Entry entries[] = {
        {"/", true, 0},
        {"/" + std::string(300, 'f'), false, 16},
        {"/" + euros(), false, 8},
        {"/" + std::string(300, 'd'), true, 0},
        {"/" + std::string(300, 'd') + "/inner", false, 32},
    };
    for (const Entry& e : entries)
        if (e.path == path) return &e;
    return nullptr;
}

int getattrOf(const char* path, struct stat* st, fuse_file_info*) {
    const Entry* e = find(path);
    if (e == nullptr) return -ENOENT;
    std::memset(st, 0, sizeof *st);
    st->st_mode = e->directory ? (S_IFDIR | 0755) : (S_IFREG | 0644);
    st->st_nlink = e->directory ? 2 : 1;
    st->st_blocks = e->blocks;
    st->st_size = e->blocks * 512;
    return 0;
}

int readdirOf(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*,
              fuse_readdir_flags) {
    const std::string dir(path);
    if (find(dir) == nullptr) return -ENOENT;
    fill(buf, ".", nullptr, 0, FUSE_FILL_DIR_PLUS);
    fill(buf, "..", nullptr, 0, FUSE_FILL_DIR_PLUS);
    if (dir == "/") {
        fill(buf, std::string(300, 'f').c_str(), nullptr, 0, FUSE_FILL_DIR_PLUS);
        fill(buf, euros().c_str(), nullptr, 0, FUSE_FILL_DIR_PLUS);
        fill(buf, std::string(300, 'd').c_str(), nullptr, 0, FUSE_FILL_DIR_PLUS);
    } else {
        fill(buf, "inner", nullptr, 0, FUSE_FILL_DIR_PLUS);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    fuse_operations ops{};
    ops.getattr = getattrOf;
    ops.readdir = readdirOf;
    char* args[] = {argv[0], const_cast<char*>("-f"), const_cast<char*>("-s"), argv[1]};
    return fuse_main(4, args, &ops, nullptr);
}

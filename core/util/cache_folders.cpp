#include "cache_folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "paths.h"
#include "trasher.h"
#include "user_dirs.h"

namespace tidewell::CacheFolders {

namespace {

std::vector<Target> makeTargets() {
    const std::string trashWarning = "Çöp Kutusu tamamen boşaltılır — bu işlem geri alınamaz.";
    return {
        {"Xcode DerivedData", "Library/Developer/Xcode/DerivedData", "hammer", std::nullopt, false},
        {"Xcode Archives", "Library/Developer/Xcode/Archives", "archivebox",
         "Dağıtım arşivleri ve dSYM'ler burada — App Store'a gönderdiğin sürümlerin sembolleri "
         "silinir.",
         false},
        {"iOS DeviceSupport", "Library/Developer/Xcode/iOS DeviceSupport", "iphone", std::nullopt,
         false},
        {"Simülatör önbelleği", "Library/Developer/CoreSimulator/Caches", "ipad.landscape",
         std::nullopt, false},
        {"Xcode önbelleği", "Library/Caches/com.apple.dt.Xcode", "wrench.and.screwdriver",
         std::nullopt, false},
        {"npm önbelleği", ".npm", "shippingbox", std::nullopt, false},
        {"Yarn önbelleği", "Library/Caches/Yarn", "shippingbox.fill", std::nullopt, false},
        {"CocoaPods önbelleği", "Library/Caches/CocoaPods", "cube.box", std::nullopt, false},
        {"Homebrew önbelleği", "Library/Caches/Homebrew", "mug", std::nullopt, false},
        {"Çöp Kutusu", ".Trash", "trash", trashWarning, true},
        // Linux.
        {"pip önbelleği", ".cache/pip", "shippingbox", std::nullopt, false},
        {"Yarn önbelleği", ".cache/yarn", "shippingbox.fill", std::nullopt, false},
        {"pnpm deposu", ".local/share/pnpm/store", "shippingbox", std::nullopt, false},
        {"Cargo önbelleği", ".cargo/registry/cache", "cube.box", std::nullopt, false},
        {"Gradle önbelleği", ".gradle/caches", "hammer", std::nullopt, false},
        {"Maven deposu", ".m2/repository", "archivebox", std::nullopt, false},
        {"Go derleme önbelleği", ".cache/go-build", "hammer", std::nullopt, false},
        {"Küçük resim önbelleği", ".cache/thumbnails", "photo", std::nullopt, false},
        {"Çöp Kutusu", kHomeTrashFiles, "trash", trashWarning, true},
    };
}

// The freedesktop Trash keeps "info" next to "files"; other targets have none.
std::string infoFolderOf(const std::string& folder, bool isTrashBin) {
    constexpr std::string_view kFiles = "/files";
    if (!isTrashBin || !folder.ends_with(kFiles)) return {};
    return folder.substr(0, folder.size() - kFiles.size()) + "/info";
}

bool existsNoFollow(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

const std::vector<Target>& targets() {
    static const std::vector<Target> list = makeTargets();
    return list;
}

std::string folderOf(std::string_view home, std::string_view relativePath) {
    // The Trash row is the Trash that deletions fill, which XDG_DATA_HOME may
    // put outside the home.
    if (relativePath == kHomeTrashFiles) return dataHomeFor(home) + "/Trash/files";
    return childPath(home, relativePath);
}

bool isPresent(const std::string& folder) {
    return existsNoFollow(folder);
}

std::optional<std::string> workingFolder(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return std::nullopt;
    std::optional<std::string> real = realDirectory(folder);
    if (!real) return std::nullopt;
    // A link must not steer an emptying into a folder of someone else's.
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::lstat(real->c_str(), &target) != 0 || target.st_uid != ::getuid())
            return std::nullopt;
    }
    return real;
}

std::optional<QuickSizer::Totals> measure(const std::string& folder, std::stop_token stop) {
    const std::optional<std::string> real = workingFolder(folder);
    if (!real) return std::nullopt;
    return QuickSizer::measure(*real, std::move(stop));
}

Emptying listForEmptying(const std::string& folder, bool isTrashBin) {
    Emptying out;
    out.permanently = isTrashBin;
    // A target that stands for no folder of the user's has nothing to empty.
    out.folder = workingFolder(folder).value_or(std::string());
    if (out.folder.empty()) return out;
    out.infoFolder = infoFolderOf(out.folder, isTrashBin);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(out.folder, ec), end; !ec && it != end;
         it.increment(ec))
        out.names.push_back(it->path().filename().string());
    return out;
}

Removal removeEntry(const Emptying& emptying, const std::string& name) {
    const std::string path = childPath(emptying.folder, name);
    if (!Trasher::canDelete(path)) return Removal::skipped;
    if (!emptying.permanently)
        return Trasher::moveToTrash(path) ? Removal::failed : Removal::removed;
    if (Trasher::deletePermanently(path)) return Removal::failed;
    if (emptying.infoFolder.empty()) return Removal::removed;
    const std::string info = childPath(emptying.infoFolder, name + ".trashinfo");
    if (!existsNoFollow(info)) return Removal::removed;
    return Trasher::deletePermanently(info) ? Removal::failed : Removal::removed;
}

std::int64_t emptyFolder(const std::string& folder, bool isTrashBin) {
    const Emptying emptying = listForEmptying(folder, isTrashBin);
    std::int64_t failures = 0;
    for (const std::string& name : emptying.names)
        if (removeEntry(emptying, name) == Removal::failed) ++failures;
    return failures;
}

}  // namespace tidewell::CacheFolders

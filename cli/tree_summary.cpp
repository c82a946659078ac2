#include "tree_summary.h"

#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "display_text.h"
#include "size_format.h"
#include "text_output.h"

namespace tidewell::cli {

std::unordered_map<const FileNode*, SubtreeCounts> countSubtrees(const FileNode* root, int depth) {
    std::unordered_map<const FileNode*, SubtreeCounts> counts;
    // Each frame: node, its level, whether its children were pushed.
    struct Frame {
        const FileNode* node;
        int level;
        bool expanded;
    };
    // Counts of the open ancestors, innermost last, so a finished node adds
    // its totals to its parent's.
    std::vector<SubtreeCounts> open;
    std::vector<Frame> stack{{root, 0, false}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (!f.expanded) {
            f.expanded = true;
            open.push_back({});
            const FileNode* node = f.node;
            const int level = f.level;
            for (const FileNode* c : node->children()) {
                if (c->isDirectory())
                    stack.push_back({c, level + 1, false});
                else
                    ++open.back().files;
            }
            continue;
        }
        SubtreeCounts mine = open.back();
        ++mine.directories;  // the node itself
        open.pop_back();
        if (f.level <= depth) counts[f.node] = mine;
        stack.pop_back();
        if (!open.empty()) {
            open.back().files += mine.files;
            open.back().directories += mine.directories;
        }
    }
    return counts;
}

namespace {

std::string share(std::int64_t part, std::int64_t whole) {
    std::array<char, 16> buf{};
    const double pct =
        whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
    std::snprintf(buf.data(), buf.size(), "%5.1f %%", pct);
    std::string s = buf.data();
    for (char& c : s)
        if (c == '.') c = localeDecimalSeparator().front();
    return s;
}

std::string padLeft(std::string s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

}  // namespace

void printTree(std::ostream& out, const FileNode* root, int depth) {
    std::vector<std::pair<const FileNode*, int>> stack{{root, 0}};
    while (!stack.empty()) {
        auto [node, level] = stack.back();
        stack.pop_back();
        const FileNode* parent = node->parent();
        out << padLeft(formatBytes(node->size()), 10) << "  "
            << (level == 0 || parent == nullptr ? std::string(7, ' ')
                                                : share(node->size(), parent->size()))
            << "  " << std::string(static_cast<std::size_t>(level) * 2, ' ')
            << repairUtf8(level == 0 ? std::string(node->path()) : std::string(node->name()))
            << (node->isDirectory() && level > 0 ? "/" : "") << '\n';
        if (level >= depth) continue;
        const auto kids = node->children();
        for (std::size_t i = kids.size(); i-- > 0;) stack.emplace_back(kids[i], level + 1);
    }
}

std::string unreadableLine(std::int64_t unreadableDirs) {
    if (unreadableDirs <= 0) return {};
    return "Uyarı: " + formatCount(unreadableDirs) +
           " klasör okunamadı; içerikleri toplama katılmadı\n";
}

void printJson(std::ostream& out, const FileNode* root, int depth,
               const std::unordered_map<const FileNode*, SubtreeCounts>& counts,
               std::int64_t elapsedMs, std::int64_t unreadableDirs) {
    struct Frame {
        const FileNode* node;
        int level;
        std::size_t next;  // next child to write
    };
    std::vector<Frame> stack{{root, 0, 0}};
    auto open = [&](const FileNode* node, int level) {
        const SubtreeCounts c = node->isDirectory() ? counts.at(node) : SubtreeCounts{1, 0};
        out << "{\"path\":" << jsonString(node->path()) << ",\"name\":" << jsonString(node->name())
            << ",\"size\":" << node->size() << ",\"files\":" << c.files
            << ",\"directories\":" << c.directories;
        if (level == 0)
            out << ",\"elapsedMs\":" << elapsedMs << ",\"unreadable\":" << unreadableDirs;
        if (level < depth && node->isDirectory()) out << ",\"children\":[";
    };
    open(root, 0);
    while (!stack.empty()) {
        Frame& f = stack.back();
        const bool listsChildren = f.level < depth && f.node->isDirectory();
        if (listsChildren && f.next < f.node->childCount()) {
            if (f.next != 0) out << ',';
            const FileNode* c = f.node->child(f.next++);
            const int level = f.level + 1;
            open(c, level);
            stack.push_back({c, level, 0});
            continue;
        }
        if (listsChildren) out << ']';
        out << '}';
        stack.pop_back();
    }
    out << '\n';
}

}  // namespace tidewell::cli

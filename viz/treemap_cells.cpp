#include "treemap_cells.h"

#include <algorithm>
#include <utility>

#include "colors.h"
#include "treemap_layout.h"

namespace tidewell {

namespace {

// Smaller preview rectangles would be only their border.
constexpr double kPreviewMinSide = 3.0;

}  // namespace

std::vector<TreemapSubRect> treemapPreview(const FileNode& folder, double width, double height) {
    std::vector<TreemapSubRect> out;
    const ChildWeights cw = childWeights(folder, kTreemapPreviewCap, width, height);
    if (cw.weights.empty()) return out;
    const std::vector<TreemapRect> rects = squarify(cw.weights, 0.0, 0.0, width, height);
    const auto m = static_cast<std::int64_t>(folder.childCount());
    out.reserve(rects.size());
    for (std::size_t pos = 0; pos < rects.size(); ++pos) {
        const TreemapRect& r = rects[pos];
        if (!(r.width >= kPreviewMinSide) || !(r.height >= kPreviewMinSide)) continue;
        const double lightness = m < 2
                                     ? 40.0
                                     : 40.0 + 24.0 * static_cast<double>(std::min(r.index, m - 1)) /
                                                  static_cast<double>(m - 1);
        out.push_back({static_cast<std::int64_t>(pos), {r.x, r.y, r.width, r.height}, lightness});
    }
    return out;
}

std::vector<TreemapCell> treemapCells(const NodeRef& focus, double width, double height) {
    std::vector<TreemapCell> cells;
    if (!focus) return cells;
    if (!(width > kTreemapMinViewSide) || !(height > kTreemapMinViewSide)) return cells;
    const FileNode& f = *focus;
    if (f.childCount() == 0) return cells;

    const auto n = static_cast<std::int64_t>(f.childCount());
    const ChildWeights cw = childWeights(f, kTreemapCellCap, width, height);
    if (cw.weights.empty()) return cells;  // children total below 1 byte
    const std::vector<TreemapRect> rects = squarify(cw.weights, 0.0, 0.0, width, height);
    if (rects.empty()) return cells;

    std::int64_t shown = 0;
    for (std::int64_t i = 0; i < cw.k; ++i) shown += f.child(static_cast<std::size_t>(i))->size();
    std::int64_t total = shown;
    for (std::int64_t i = cw.k; i < n; ++i) total += f.child(static_cast<std::size_t>(i))->size();
    const std::int64_t rest = total - shown;

    cells.reserve(rects.size());
    for (const TreemapRect& r : rects) {
        const MapRect inset{r.x + kTreemapCellInset, r.y + kTreemapCellInset,
                            r.width - 2 * kTreemapCellInset, r.height - 2 * kTreemapCellInset};
        if (inset.width < kTreemapCellInset || inset.height < kTreemapCellInset) continue;

        TreemapCell cell;
        cell.isAggregate = r.index == cw.k;
        FileNode* node = cell.isAggregate ? nullptr : f.child(static_cast<std::size_t>(r.index));
        cell.node = cell.isAggregate ? focus : NodeRef(node);
        cell.rect = inset;
        // The aggregate cell takes the hue the next child would have had.
        cell.hue = mapHue(std::min(r.index, n - 1), n);
        cell.sizeBytes = cell.isAggregate ? rest : node->size();
        cell.showLabel =
            inset.width >= kTreemapLabelMinWidth && inset.height >= kTreemapLabelMinHeight;
        if (!cell.isAggregate && node->isDirectory() && node->childCount() >= 1 &&
            inset.width >= kTreemapPreviewMinWidth && inset.height >= kTreemapPreviewMinHeight) {
            cell.subRects = treemapPreview(*node, inset.width, inset.height);
        }
        cell.aggregateCount = n - cw.k;
        cells.push_back(std::move(cell));
    }
    return cells;
}

}  // namespace tidewell

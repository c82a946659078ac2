#include "treemap_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tidewell {

namespace {

struct Kept {
    std::int64_t index;
    double value;
};

struct Remaining {
    double x;
    double y;
    double width;
    double height;
};

// Aspect ratio of the worst rectangle of `strip` laid along `side`;
// `extra`, when given, counts as appended. Summed afresh on every call:
// strips are short (the callers cap them) and this keeps it obviously right.
double worst(const std::vector<Kept>& strip, const Kept* extra, double side) {
    double sum = 0.0;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    auto take = [&](double v) {
        sum += v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (const Kept& k : strip) take(k.value);
    if (extra != nullptr) take(extra->value);
    if (side <= 0.0 || sum <= 0.0) return std::numeric_limits<double>::infinity();
    const double side2 = side * side;
    const double sum2 = sum * sum;
    return std::max(side2 * hi / sum2, sum2 / (side2 * lo));
}

void layStrip(const std::vector<Kept>& strip, Remaining& r, std::vector<TreemapRect>& out) {
    double s = 0.0;
    for (const Kept& k : strip) s += k.value;
    if (!(s > 0.0) || !(r.width > 0.0) || !(r.height > 0.0)) return;
    if (r.width >= r.height) {
        const double c = s / r.height;
        double cursor = r.y;
        for (const Kept& k : strip) {
            const double h = k.value / c;
            out.push_back({k.index, r.x, cursor, c, h});
            cursor += h;
        }
        r.x += c;
        r.width -= c;
    } else {
        const double row = s / r.width;
        double cursor = r.x;
        for (const Kept& k : strip) {
            const double w = k.value / row;
            out.push_back({k.index, cursor, r.y, w, row});
            cursor += w;
        }
        r.y += row;
        r.height -= row;
    }
}

}  // namespace

std::vector<TreemapRect> squarify(const std::vector<double>& values, double x, double y,
                                  double width, double height) {
    std::vector<TreemapRect> out;
    out.reserve(values.size());
    Remaining r{x, y, width, height};
    std::vector<Kept> strip;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!(values[i] > 0.0)) continue;  // zero, negative and NaN weights get nothing
        const Kept next{static_cast<std::int64_t>(i), values[i]};
        if (strip.empty()) {
            strip.push_back(next);
            continue;
        }
        const double side = std::min(r.width, r.height);
        if (worst(strip, nullptr, side) >= worst(strip, &next, side)) {
            strip.push_back(next);
            continue;
        }
        layStrip(strip, r, out);
        strip.clear();
        strip.push_back(next);
    }
    if (!strip.empty()) layStrip(strip, r, out);
    return out;
}

ChildWeights childWeights(const FileNode& node, std::int64_t cap, double width, double height) {
    ChildWeights result;
    const std::size_t n = node.childCount();
    std::int64_t total = 0;
    for (std::size_t i = 0; i < n; ++i) total += node.child(i)->size();
    if (total < 1) return result;

    const std::size_t k = std::min(n, static_cast<std::size_t>(std::max<std::int64_t>(cap, 0)));
    result.k = static_cast<std::int64_t>(k);
    std::int64_t taken = 0;
    for (std::size_t i = 0; i < k; ++i) taken += node.child(i)->size();
    const std::int64_t rest = total - taken;

    const double scale = (width * height) / static_cast<double>(total);
    result.weights.reserve(k + 1);
    for (std::size_t i = 0; i < k; ++i) {
        result.weights.push_back(static_cast<double>(node.child(i)->size()) * scale);
    }
    if (rest >= 1) result.weights.push_back(static_cast<double>(rest) * scale);
    return result;
}

}  // namespace tidewell

// Squarified treemap layout: weights in, rectangles of those areas out,
// each kept as close to square as a greedy strip-by-strip choice allows.
#pragma once

#include <cstdint>
#include <vector>

#include "file_node.h"

namespace tidewell {

// One laid-out rectangle. Origin top-left, y growing downward; never rounded.
struct TreemapRect {
    std::int64_t index = 0;  // position of the weight in the input; dropped ones keep theirs
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// Lays out `values` (already areas) in input order inside (x, y, width,
// height). Values that are not > 0 get no rectangle, nor do values left
// when the rectangle has no width or height. Output is in placement order.
std::vector<TreemapRect> squarify(const std::vector<double>& values, double x, double y,
                                  double width, double height);

struct ChildWeights {
    std::vector<double> weights;  // empty when the children total below 1 byte
    std::int64_t k = 0;           // children taken one by one; the rest weight, if any, has index k
};

// The first min(children, cap) children of `node` as areas of a width x
// height box, then one weight for all later children when they hold at
// least 1 byte. No weights and k = 0 when the children total below 1 byte.
ChildWeights childWeights(const FileNode& node, std::int64_t cap, double width, double height);

}  // namespace tidewell

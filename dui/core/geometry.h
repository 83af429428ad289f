#pragma once

#include <cstdint>

namespace dui {

// A colour as the drawing routines take it: alpha in the top byte, then red,
// green and blue (not premultiplied).
using Argb = uint32_t;

// Rectangles are floats in client coordinates: left, top, width, height.
struct RectF {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    float Right() const { return left + width; }
    float Bottom() const { return top + height; }
    bool IsEmpty() const { return !(width > 0) || !(height > 0); }
    bool Contains(float x, float y) const {
        return x >= left && y >= top && x < Right() && y < Bottom();
    }
    static RectF FromLtrb(float l, float t, float r, float b) { return {l, t, r - l, b - t}; }
    friend bool operator==(const RectF&, const RectF&) = default;
};

struct PointF {
    float x = 0;
    float y = 0;
    friend bool operator==(const PointF&, const PointF&) = default;
};

// The four margins of a nine-grid: the unscaled border widths on each side.
struct Margins {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;

    bool IsEmpty() const { return left <= 0 && top <= 0 && right <= 0 && bottom <= 0; }
    // Margins stored in a rectangle's four fields (left, top, width, height
    // holding left, top, right, bottom), as the skin options carry them.
    static Margins FromRect(const RectF& r) { return {r.left, r.top, r.width, r.height}; }
    friend bool operator==(const Margins&, const Margins&) = default;
};

// Adds to left, top, width and height.
inline RectF OffsetRect(RectF rect, float dx, float dy, float dw = 0, float dh = 0) {
    return {rect.left + dx, rect.top + dy, rect.width + dw, rect.height + dh};
}

// Overlap with positive area on both axes.
inline bool Intersects(const RectF& a, const RectF& b) {
    return a.left < b.Right() && b.left < a.Right() && a.top < b.Bottom() && b.top < a.Bottom();
}

// The smallest rectangle holding both.
inline RectF UnionOf(const RectF& a, const RectF& b) {
    const float l = a.left < b.left ? a.left : b.left;
    const float t = a.top < b.top ? a.top : b.top;
    const float r = a.Right() > b.Right() ? a.Right() : b.Right();
    const float bottom = a.Bottom() > b.Bottom() ? a.Bottom() : b.Bottom();
    return RectF::FromLtrb(l, t, r, bottom);
}

// The common part of both; empty (zero size) when they do not overlap.
inline RectF IntersectOf(const RectF& a, const RectF& b) {
    const float l = a.left > b.left ? a.left : b.left;
    const float t = a.top > b.top ? a.top : b.top;
    const float r = a.Right() < b.Right() ? a.Right() : b.Right();
    const float bottom = a.Bottom() < b.Bottom() ? a.Bottom() : b.Bottom();
    if (r <= l || bottom <= t) return RectF{l, t, 0, 0};
    return RectF::FromLtrb(l, t, r, bottom);
}

}  // namespace dui

#include "platform/gtk/gtk_shape.h"

#include <algorithm>
#include <vector>

namespace plat::gtk {
namespace {

struct Span {
    int left;
    int right;
    friend bool operator==(const Span&, const Span&) = default;
};

// Collects rows of spans and merges runs of identical rows into one band of
// rectangles, so a plain rounded window becomes a handful of rectangles.
class BandBuilder {
public:
    void AddRow(int y, std::vector<Span> spans) {
        if (y == m_band_end && spans == m_band_spans) {
            ++m_band_end;
            return;
        }
        FlushBand();
        m_band_top = y;
        m_band_end = y + 1;
        m_band_spans = std::move(spans);
    }

    RegionPtr Finish() {
        FlushBand();
        return RegionPtr(cairo_region_create_rectangles(m_rectangles.data(),
                                                        static_cast<int>(m_rectangles.size())));
    }

private:
    void FlushBand() {
        for (const Span& span : m_band_spans) {
            m_rectangles.push_back({span.left, m_band_top, span.right - span.left,
                                    m_band_end - m_band_top});
        }
        m_band_spans.clear();
    }

    std::vector<cairo_rectangle_int_t> m_rectangles;
    std::vector<Span> m_band_spans;
    int m_band_top = 0;
    int m_band_end = -1;
};

}  // namespace

RegionPtr RegionFromShape(const WindowShape& shape, int width, int height) {
    BandBuilder bands;
    const int left = std::max(0, shape.rect.left);
    const int right = std::min(width, shape.rect.right);
    const int top = std::max(0, shape.rect.top);
    const int bottom = std::min(height, shape.rect.bottom);
    for (int y = top; y < bottom; ++y) {
        // A rounded rectangle covers one run per row: find its two ends.
        int first = left;
        while (first < right && !ShapeContains(shape, first, y)) ++first;
        if (first == right) {
            bands.AddRow(y, {});
            continue;
        }
        int last = right - 1;
        while (last > first && !ShapeContains(shape, last, y)) --last;
        bands.AddRow(y, {{first, last + 1}});
    }
    return bands.Finish();
}

RegionPtr RegionFromAlpha(const SurfaceView& surface, uint8_t constant_alpha, int threshold) {
    BandBuilder bands;
    if (surface.data == nullptr || surface.width <= 0 || surface.height <= 0 ||
        surface.stride < surface.width * 4) {
        return bands.Finish();
    }
    threshold = std::clamp(threshold, 1, 255);
    // alpha * constant / 255 >= threshold  <=>  alpha * constant >= threshold * 255
    // (rounding aside); constant 0 hides everything.
    const int scaled_threshold = threshold * 255;
    std::vector<Span> spans;
    for (int y = 0; y < surface.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(surface.data + static_cast<size_t>(y) * surface.stride);
        spans.clear();
        int run_start = -1;
        for (int x = 0; x < surface.width; ++x) {
            const int alpha = static_cast<int>(row[x] >> 24);
            const bool inside = alpha * constant_alpha >= scaled_threshold;
            if (inside && run_start < 0) {
                run_start = x;
            } else if (!inside && run_start >= 0) {
                spans.push_back({run_start, x});
                run_start = -1;
            }
        }
        if (run_start >= 0) spans.push_back({run_start, surface.width});
        bands.AddRow(y, spans);
    }
    return bands.Finish();
}

}  // namespace plat::gtk

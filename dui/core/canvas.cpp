#include "dui/core/canvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "dui/core/canvas_access.h"
#include "dui/core/image_surface.h"

namespace dui {
namespace {

// Geometry is drawn with pixel centres on integer coordinates.
constexpr double kPixelCentre = 0.5;
constexpr float kCoordinateLimit = 1e6f;
constexpr unsigned char kHalfCoverage = 127;

bool Finite(float v) { return std::isfinite(v) && std::fabs(v) < kCoordinateLimit; }
bool Finite(const RectF& r) { return Finite(r.left) && Finite(r.top) && Finite(r.width) && Finite(r.height); }

bool SizeAllowed(int width, int height) {
    return width >= 0 && height >= 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           static_cast<int64_t>(width) * height <= kMaxImagePixels;
}

void SetSource(cairo_t* cr, Argb argb) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                          ((argb >> 24) & 0xFF) / 255.0);
}

// Dash lengths are in multiples of the pen width.
void SetPen(cairo_t* cr, float pen_width, DashStyle dash) {
    double width = (std::isfinite(pen_width) && pen_width > 0) ? std::min(pen_width, 1000.0f) : 1.0;
    cairo_set_line_width(cr, width);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    std::vector<double> pattern;
    switch (dash) {
        case DashStyle::Solid:
            break;
        case DashStyle::Dash:
            pattern = {3, 1};
            break;
        case DashStyle::Dot:
            pattern = {1, 1};
            break;
        case DashStyle::DashDot:
            pattern = {3, 1, 1, 1};
            break;
        case DashStyle::DashDotDot:
            pattern = {3, 1, 1, 1, 1, 1};
            break;
    }
    for (double& length : pattern) length *= width;
    cairo_set_dash(cr, pattern.data(), static_cast<int>(pattern.size()), 0);
    // Solid lines cover their end points entirely; dashes keep their length.
    cairo_set_line_cap(cr, pattern.empty() ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT);
}

cairo_fill_rule_t FillRule(Path::FillMode mode) {
    return mode == Path::FillMode::Winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD;
}

// A context on a 1 x 1 surface for path computations that draw nothing.
struct ScratchContext {
    ScratchContext()
        : surface(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1)), cr(cairo_create(surface)) {}
    ~ScratchContext() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    ScratchContext(const ScratchContext&) = delete;
    ScratchContext& operator=(const ScratchContext&) = delete;
    cairo_surface_t* surface;
    cairo_t* cr;
};

int ClampByte(int v) { return std::clamp(v, 0, 255); }

Argb Unpremultiply(uint32_t p) {
    uint32_t a = p >> 24;
    if (a == 0) return 0;
    if (a == 255) return p;
    auto channel = [&](int shift) { return std::min<uint32_t>(255, (((p >> shift) & 0xFF) * 255 + a / 2) / a); };
    return (a << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

Argb ReadPixel(cairo_surface_t* surface, int x, int y) {
    if (!surface || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return 0;
    cairo_surface_flush(surface);
    int width = cairo_image_surface_get_width(surface);
    int height = cairo_image_surface_get_height(surface);
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (!data) return 0;
    int stride = cairo_image_surface_get_stride(surface);
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    switch (cairo_image_surface_get_format(surface)) {
        case CAIRO_FORMAT_ARGB32:
            return Unpremultiply(row[x]);
        case CAIRO_FORMAT_RGB24:
            return row[x] | 0xFF000000u;
        default:
            return 0;
    }
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void ShowLayout(cairo_t* cr, const TextLayout& layout, Argb argb, double dx, double dy) {
    cairo_save(cr);
    if (auto clip = layout.Clip()) {
        cairo_rectangle(cr, clip->left + dx, clip->top + dy, clip->width, clip->height);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_clip(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    }
    SetSource(cr, argb);
    cairo_move_to(cr, layout.Origin().x + dx, layout.Origin().y + dy);
    pango_cairo_show_layout(cr, TextLayoutAccess::Layout(layout));
    cairo_restore(cr);
}

}  // namespace

// ---- colours ----

Argb MakeArgb(uint32_t rgb, std::optional<int> alpha) {
    int a = ClampByte(alpha.value_or(255));
    if (a == 255) a = 254;
    uint32_t r = rgb & 0xFF;
    uint32_t g = (rgb >> 8) & 0xFF;
    uint32_t b = (rgb >> 16) & 0xFF;
    return (static_cast<uint32_t>(a) << 24) | (r << 16) | (g << 8) | b;
}

bool IsDarkColour(Argb argb) {
    double luminance = 0.299 * ((argb >> 16) & 0xFF) + 0.587 * ((argb >> 8) & 0xFF) + 0.114 * (argb & 0xFF);
    return luminance < 192;
}

// ---- paths ----

void Path::AddArc(const RectF& box, float start_degrees, float sweep_degrees) {
    if (!Finite(box) || !Finite(start_degrees) || !Finite(sweep_degrees)) return;
    sweep_degrees = std::clamp(sweep_degrees, -360.0f, 360.0f);
    m_ops.push_back({Op::Kind::Arc, box, start_degrees, sweep_degrees});
    m_open = true;
}

void Path::AddLine(PointF from, PointF to) {
    if (!Finite(from.x) || !Finite(from.y) || !Finite(to.x) || !Finite(to.y)) return;
    m_ops.push_back({Op::Kind::Line, RectF{from.x, from.y, to.x, to.y}, 0, 0});
    m_open = true;
}

void Path::AddRect(const RectF& rect) {
    if (!Finite(rect)) return;
    if (m_open) CloseFigure();
    AddLine({rect.left, rect.top}, {rect.Right(), rect.top});
    AddLine({rect.Right(), rect.Bottom()}, {rect.left, rect.Bottom()});
    CloseFigure();
}

void Path::CloseFigure() {
    if (!m_open) return;
    m_ops.push_back({Op::Kind::Close, {}, 0, 0});
    m_open = false;
}

void Path::AppendTo(cairo_t* cr) const {
    cairo_new_path(cr);
    bool figure_started = false;
    for (const Op& op : m_ops) {
        switch (op.kind) {
            case Op::Kind::Arc: {
                double rx = op.box.width / 2.0;
                double ry = op.box.height / 2.0;
                double cx = op.box.left + rx;
                double cy = op.box.top + ry;
                double a0 = op.start * std::numbers::pi / 180.0;
                double a1 = (op.start + op.sweep) * std::numbers::pi / 180.0;
                if (!figure_started) cairo_new_sub_path(cr);
                if (std::fabs(rx) < 1e-6 || std::fabs(ry) < 1e-6) {
                    double px = cx + rx * std::cos(a0);
                    double py = cy + ry * std::sin(a0);
                    cairo_line_to(cr, px, py);
                    cairo_line_to(cr, cx + rx * std::cos(a1), cy + ry * std::sin(a1));
                } else {
                    cairo_save(cr);
                    cairo_translate(cr, cx, cy);
                    cairo_scale(cr, rx, ry);
                    if (op.sweep >= 0)
                        cairo_arc(cr, 0, 0, 1, a0, a1);
                    else
                        cairo_arc_negative(cr, 0, 0, 1, a0, a1);
                    cairo_restore(cr);
                }
                figure_started = true;
                break;
            }
            case Op::Kind::Line:
                if (figure_started)
                    cairo_line_to(cr, op.box.left, op.box.top);
                else
                    cairo_move_to(cr, op.box.left, op.box.top);
                cairo_line_to(cr, op.box.width, op.box.height);
                figure_started = true;
                break;
            case Op::Kind::Close:
                if (figure_started) cairo_close_path(cr);
                figure_started = false;
                break;
        }
    }
}

RectF Path::Bounds() const {
    if (m_ops.empty()) return {};
    ScratchContext scratch;
    AppendTo(scratch.cr);
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_path_extents(scratch.cr, &x1, &y1, &x2, &y2);
    return RectF::FromLtrb(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                           static_cast<float>(y2));
}

Path RoundRectPath(const RectF& rect, float diameter, Path::FillMode mode) {
    Path path(mode);
    float d = std::max(0.0f, diameter);
    float right = rect.left + rect.width - d - 1;
    float bottom = rect.top + rect.height - d - 1;
    path.AddArc({rect.left, rect.top, d, d}, 180, 90);
    path.AddArc({right, rect.top, d, d}, 270, 90);
    path.AddArc({right, bottom, d, d}, 0, 90);
    path.AddArc({rect.left, bottom, d, d}, 90, 90);
    path.CloseFigure();
    return path;
}

// ---- regions ----

Region::Region() : m_region(cairo_region_create()) {}

Region::Region(const RectF& rect) : m_region(cairo_region_create()) {
    if (!Finite(rect) || rect.IsEmpty()) return;
    int x0 = static_cast<int>(std::ceil(rect.left - 0.5f));
    int y0 = static_cast<int>(std::ceil(rect.top - 0.5f));
    int x1 = static_cast<int>(std::ceil(rect.Right() - 0.5f));
    int y1 = static_cast<int>(std::ceil(rect.Bottom() - 0.5f));
    if (x1 <= x0 || y1 <= y0) return;
    cairo_rectangle_int_t r{x0, y0, x1 - x0, y1 - y0};
    cairo_region_union_rectangle(m_region.get(), &r);
}

Region::Region(const Region& other) : m_region(cairo_region_copy(other.m_region.get())) {}

Region& Region::operator=(const Region& other) {
    if (this != &other) m_region.reset(cairo_region_copy(other.m_region.get()));
    return *this;
}

Region Region::FromPath(const Path& path) {
    Region region;
    if (path.IsEmpty()) return region;
    RectF bounds = path.Bounds();
    int x0 = std::max(-kMaxImageSide, static_cast<int>(std::floor(bounds.left)) - 1);
    int y0 = std::max(-kMaxImageSide, static_cast<int>(std::floor(bounds.top)) - 1);
    int x1 = std::min(2 * kMaxImageSide, static_cast<int>(std::ceil(bounds.Right())) + 2);
    int y1 = std::min(2 * kMaxImageSide, static_cast<int>(std::ceil(bounds.Bottom())) + 2);
    int width = x1 - x0;
    int height = y1 - y0;
    if (width <= 0 || height <= 0 || static_cast<int64_t>(width) * height > kMaxImagePixels) return region;
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(mask);
        return region;
    }
    // A pixel belongs to the region when the path covers at least half of
    // it, so an outline through pixel centres keeps both edge pixels.
    cairo_t* cr = cairo_create(mask);
    cairo_translate(cr, -x0 + kPixelCentre, -y0 + kPixelCentre);
    cairo_set_fill_rule(cr, FillRule(path.Mode()));
    path.AppendTo(cr);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(mask);
    const unsigned char* data = cairo_image_surface_get_data(mask);
    int stride = cairo_image_surface_get_stride(mask);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + static_cast<ptrdiff_t>(y) * stride;
        int x = 0;
        while (x < width) {
            while (x < width && row[x] < kHalfCoverage) ++x;
            int start = x;
            while (x < width && row[x] >= kHalfCoverage) ++x;
            if (x > start) {
                cairo_rectangle_int_t r{x0 + start, y0 + y, x - start, 1};
                cairo_region_union_rectangle(region.m_region.get(), &r);
            }
        }
    }
    cairo_surface_destroy(mask);
    return region;
}

void Region::Union(const Region& other) { cairo_region_union(m_region.get(), other.m_region.get()); }
void Region::Intersect(const Region& other) { cairo_region_intersect(m_region.get(), other.m_region.get()); }
void Region::Subtract(const Region& other) { cairo_region_subtract(m_region.get(), other.m_region.get()); }
void Region::Translate(int dx, int dy) { cairo_region_translate(m_region.get(), dx, dy); }
bool Region::Contains(int x, int y) const { return cairo_region_contains_point(m_region.get(), x, y); }
bool Region::IsEmpty() const { return cairo_region_is_empty(m_region.get()); }
int Region::RectangleCount() const { return cairo_region_num_rectangles(m_region.get()); }

RectF Region::Bounds() const {
    cairo_rectangle_int_t r{};
    cairo_region_get_extents(m_region.get(), &r);
    return {static_cast<float>(r.x), static_cast<float>(r.y), static_cast<float>(r.width),
            static_cast<float>(r.height)};
}

RectF Region::RectangleAt(int index) const {
    if (index < 0 || index >= RectangleCount()) return {};
    cairo_rectangle_int_t r{};
    cairo_region_get_rectangle(m_region.get(), index, &r);
    return {static_cast<float>(r.x), static_cast<float>(r.y), static_cast<float>(r.width),
            static_cast<float>(r.height)};
}

// ---- canvas ----

ImageSource::ImageSource(const ExCanvas& canvas)
    : surface(CanvasAccess::Surface(canvas)), width(canvas.Width()), height(canvas.Height()) {}

ExCanvas::ExCanvas(int width, int height) {
    if (!SizeAllowed(width, height)) width = height = 0;
    m_surface = NewImageSurface(width, height);
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(m_surface);
        width = height = 0;
        m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0);
    }
    m_width = width;
    m_height = height;
    m_cr = cairo_create(m_surface);
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_DEFAULT);
}

ExCanvas::~ExCanvas() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
}

std::unique_ptr<ExCanvas> CreateCanvas(int width, int height) {
    if (!SizeAllowed(width, height)) return nullptr;
    auto canvas = std::make_unique<ExCanvas>(width, height);
    if (canvas->Width() != width || canvas->Height() != height) return nullptr;
    return canvas;
}

PixelView ExCanvas::Pixels() const {
    cairo_surface_flush(m_surface);
    return {cairo_image_surface_get_data(m_surface), m_width, m_height, cairo_image_surface_get_stride(m_surface)};
}

std::string ExCanvas::EncodePng() const {
    std::string bytes;
    cairo_surface_flush(m_surface);
    if (cairo_surface_write_to_png_stream(m_surface, AppendBytes, &bytes) != CAIRO_STATUS_SUCCESS) bytes.clear();
    return bytes;
}

std::unique_ptr<ExCanvas> ExCanvas::Clone() const {
    auto copy = std::make_unique<ExCanvas>(m_width, m_height);
    cairo_t* cr = copy->m_cr;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, m_surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    return copy;
}

void ExCanvas::Clear(Argb argb) {
    cairo_save(m_cr);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
    SetSource(m_cr, argb);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
}

void ExCanvas::ScrollRows(int dy) {
    if (m_surface == nullptr || dy == 0 || std::abs(dy) >= m_height) return;
    cairo_surface_flush(m_surface);
    unsigned char* data = cairo_image_surface_get_data(m_surface);
    if (data == nullptr) return;
    const auto stride = static_cast<size_t>(cairo_image_surface_get_stride(m_surface));
    const size_t moved = static_cast<size_t>(m_height - std::abs(dy)) * stride;
    const size_t shift = static_cast<size_t>(std::abs(dy)) * stride;
    if (dy > 0) {
        std::memmove(data + shift, data, moved);
    } else {
        std::memmove(data, data + shift, moved);
    }
    cairo_surface_mark_dirty(m_surface);
}

void ExCanvas::FillPath(const Path& path, Argb argb) {
    if (path.IsEmpty()) return;
    cairo_save(m_cr);
    cairo_translate(m_cr, kPixelCentre, kPixelCentre);
    path.AppendTo(m_cr);
    cairo_set_fill_rule(m_cr, FillRule(path.Mode()));
    SetSource(m_cr, argb);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

void ExCanvas::DrawPath(const Path& path, Argb argb, DashStyle dash, float pen_width) {
    if (path.IsEmpty()) return;
    cairo_save(m_cr);
    cairo_translate(m_cr, kPixelCentre, kPixelCentre);
    path.AppendTo(m_cr);
    SetPen(m_cr, pen_width, dash);
    SetSource(m_cr, argb);
    cairo_stroke(m_cr);
    cairo_restore(m_cr);
}

void ExCanvas::FillRoundRect(const RectF& rect, float diameter, Argb argb) {
    FillPath(RoundRectPath(rect, diameter), argb);
}

void ExCanvas::DrawRoundRect(const RectF& rect, float diameter, Argb argb, DashStyle dash, float pen_width) {
    DrawPath(RoundRectPath(rect, diameter), argb, dash, pen_width);
}

void ExCanvas::FillRect(const RectF& rect, Argb argb) {
    if (!Finite(rect) || rect.IsEmpty()) return;
    cairo_save(m_cr);
    cairo_rectangle(m_cr, rect.left, rect.top, rect.width, rect.height);
    SetSource(m_cr, argb);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

void ExCanvas::FillGradient(const RectF& rect, Argb argb1, Argb argb2, GradientMode direction) {
    if (!Finite(rect) || rect.IsEmpty()) return;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    switch (direction) {
        case GradientMode::Horizontal:
            x1 = 1;
            break;
        case GradientMode::Vertical:
            y1 = 1;
            break;
        case GradientMode::ForwardDiagonal:
            x1 = y1 = 1;
            break;
        case GradientMode::BackwardDiagonal:
            x0 = 1;
            y1 = 1;
            break;
    }
    // Defined on the unit square and stretched over the rectangle, so the
    // diagonal modes run corner to corner whatever the aspect ratio.
    cairo_pattern_t* pattern = cairo_pattern_create_linear(x0, y0, x1, y1);
    auto stop = [&](double offset, Argb c) {
        cairo_pattern_add_color_stop_rgba(pattern, offset, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                                          (c & 0xFF) / 255.0, ((c >> 24) & 0xFF) / 255.0);
    };
    stop(0, argb1);
    stop(1, argb2);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REFLECT);
    cairo_matrix_t matrix;
    cairo_matrix_init_scale(&matrix, 1.0 / rect.width, 1.0 / rect.height);
    cairo_matrix_translate(&matrix, -rect.left, -rect.top);
    cairo_pattern_set_matrix(pattern, &matrix);

    cairo_save(m_cr);
    cairo_translate(m_cr, kPixelCentre, kPixelCentre);
    cairo_rectangle(m_cr, rect.left, rect.top, rect.width - 1, rect.height - 1);
    cairo_set_source(m_cr, pattern);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
    cairo_pattern_destroy(pattern);
}

void ExCanvas::DrawLine(float x1, float y1, float x2, float y2, Argb argb, float pen_width, DashStyle dash) {
    if (!Finite(x1) || !Finite(y1) || !Finite(x2) || !Finite(y2)) return;
    cairo_save(m_cr);
    cairo_translate(m_cr, kPixelCentre, kPixelCentre);
    cairo_move_to(m_cr, x1, y1);
    cairo_line_to(m_cr, x2, y2);
    SetPen(m_cr, pen_width, dash);
    SetSource(m_cr, argb);
    cairo_stroke(m_cr);
    cairo_restore(m_cr);
}

void ExCanvas::DrawBorder(const RectF& rect, int64_t style, std::optional<Argb> argb, float pen_width) {
    if (!Finite(rect)) return;
    const float x = rect.left, y = rect.top, w = rect.width, h = rect.height;
    const RectF outline{x, y, w - 1, h - 1};
    auto draw_rect = [&](Argb colour, DashStyle dash) {
        Path path;
        path.AddRect(outline);
        DrawPath(path, colour, dash, pen_width);
    };
    switch (style) {
        case kBorderNone:
            return;
        case kBorderSunken:
            DrawLine(x, y, x + w - 1, y, ArgbOf(160, 0, 0, 0), pen_width);
            DrawLine(x, y, x, y + h - 1, ArgbOf(160, 0, 0, 0), pen_width);
            DrawLine(x, y + h - 1, x + w - 1, y + h - 1, ArgbOf(245, 255, 255, 255), pen_width);
            DrawLine(x + w - 1, y, x + w - 1, y + h - 1, ArgbOf(245, 255, 255, 255), pen_width);
            return;
        case kBorderRaised:
            DrawLine(x, y, x + w - 2, y, ArgbOf(245, 255, 255, 255), pen_width);
            DrawLine(x, y, x, y + h - 2, ArgbOf(245, 255, 255, 255), pen_width);
            DrawLine(x, y + h - 1, x + w - 1, y + h - 1, ArgbOf(168, 0, 0, 0), pen_width);
            DrawLine(x + w - 1, y, x + w - 1, y + h - 2, ArgbOf(168, 0, 0, 0), pen_width);
            return;
        case kBorderSolid:
            draw_rect(argb.value_or(MakeArgb(0x646464, 255)), DashStyle::Solid);
            return;
        case kBorderDashed:
            draw_rect(argb.value_or(ArgbOf(120, 0, 0, 0)), DashStyle::Dash);
            return;
        default:
            draw_rect(static_cast<Argb>(static_cast<uint64_t>(style) & 0xFFFFFFFFu), DashStyle::Solid);
            return;
    }
}

// ---- clipping ----

void ExCanvas::SetClipRect(const RectF& rect, CombineMode mode) {
    if (!Finite(rect)) return;
    if (mode == CombineMode::Replace) cairo_reset_clip(m_cr);
    cairo_new_path(m_cr);
    cairo_rectangle(m_cr, rect.left, rect.top, std::max(0.0f, rect.width), std::max(0.0f, rect.height));
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_NONE);
    cairo_clip(m_cr);
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_DEFAULT);
}

void ExCanvas::SetClipRegion(const Region& region, CombineMode mode) {
    if (mode == CombineMode::Replace) cairo_reset_clip(m_cr);
    cairo_new_path(m_cr);
    for (int i = 0; i < region.RectangleCount(); ++i) {
        RectF r = region.RectangleAt(i);
        cairo_rectangle(m_cr, r.left, r.top, r.width, r.height);
    }
    cairo_set_fill_rule(m_cr, CAIRO_FILL_RULE_WINDING);
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_NONE);
    cairo_clip(m_cr);
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_DEFAULT);
}

void ExCanvas::SetClipPath(const Path& path, CombineMode mode) { SetClipRegion(Region::FromPath(path), mode); }

void ExCanvas::ResetClip() { cairo_reset_clip(m_cr); }

RectF ExCanvas::GetClipBounds() const {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(m_cr, &x1, &y1, &x2, &y2);
    x1 = std::max(x1, 0.0);
    y1 = std::max(y1, 0.0);
    x2 = std::min(x2, static_cast<double>(m_width));
    y2 = std::min(y2, static_cast<double>(m_height));
    if (x2 <= x1 || y2 <= y1) return {};
    return RectF::FromLtrb(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                           static_cast<float>(y2));
}

void ExCanvas::SaveClip() {
    cairo_save(m_cr);
    ++m_clip_depth;
}

void ExCanvas::RestoreClip() {
    if (m_clip_depth == 0) return;
    cairo_restore(m_cr);
    --m_clip_depth;
}

// ---- images ----

void ExCanvas::DrawImagePart(const ImageSource& image, const RectF& dest, std::optional<RectF> source,
                             int opacity) {
    if (!image.surface || image.surface == m_surface || image.width <= 0 || image.height <= 0) return;
    if (!Finite(dest) || dest.IsEmpty() || opacity <= 0) return;
    RectF part = source.value_or(RectF{0, 0, static_cast<float>(image.width), static_cast<float>(image.height)});
    if (!Finite(part)) return;
    double sx0 = std::clamp(std::round(part.left), 0.0f, static_cast<float>(image.width));
    double sy0 = std::clamp(std::round(part.top), 0.0f, static_cast<float>(image.height));
    double sx1 = std::clamp(std::round(part.Right()), 0.0f, static_cast<float>(image.width));
    double sy1 = std::clamp(std::round(part.Bottom()), 0.0f, static_cast<float>(image.height));
    if (sx1 <= sx0 || sy1 <= sy0) return;
    bool whole = sx0 == 0 && sy0 == 0 && sx1 == image.width && sy1 == image.height;
    cairo_surface_t* piece =
        whole ? cairo_surface_reference(image.surface)
              : cairo_surface_create_for_rectangle(image.surface, sx0, sy0, sx1 - sx0, sy1 - sy0);
    if (cairo_surface_status(piece) == CAIRO_STATUS_SUCCESS) {
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(piece);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        double scale_x = (sx1 - sx0) / dest.width;
        double scale_y = (sy1 - sy0) / dest.height;
        cairo_pattern_set_filter(pattern, (scale_x == 1 && scale_y == 1) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, scale_x, scale_y);
        cairo_matrix_translate(&matrix, -dest.left, -dest.top);
        cairo_pattern_set_matrix(pattern, &matrix);
        cairo_save(m_cr);
        cairo_rectangle(m_cr, dest.left, dest.top, dest.width, dest.height);
        cairo_clip(m_cr);
        cairo_set_source(m_cr, pattern);
        if (opacity >= 255)
            cairo_paint(m_cr);
        else
            cairo_paint_with_alpha(m_cr, opacity / 255.0);
        cairo_restore(m_cr);
        cairo_pattern_destroy(pattern);
    }
    cairo_surface_destroy(piece);
}

void ExCanvas::DrawImage(const ImageSource& image, const RectF& rect) { DrawImagePart(image, rect, std::nullopt, 255); }

void ExCanvas::DrawImageNatural(const ImageSource& image, const RectF& rect, bool centred) {
    float left = rect.left;
    float top = rect.top;
    if (centred) {
        left += std::floor((rect.width - static_cast<float>(image.width)) / 2);
        top += std::floor((rect.height - static_cast<float>(image.height)) / 2);
    }
    DrawImagePart(image, {left, top, static_cast<float>(image.width), static_cast<float>(image.height)});
}

void ExCanvas::DrawImageAlpha(const ImageSource& image, const RectF& rect, int opacity) {
    if (opacity >= 255) {
        DrawImage(image, rect);
        return;
    }
    DrawImagePart(image, rect, std::nullopt, opacity);
}

void ExCanvas::DrawImageNineGrid(const ImageSource& image, const RectF& dest, const Margins& margins, int opacity) {
    if (!image.surface || image.width <= 0 || image.height <= 0 || !Finite(dest) || dest.IsEmpty()) return;
    auto fit = [](float a, float b, float total, float* out_a, float* out_b) {
        a = std::isfinite(a) ? std::max(0.0f, a) : 0;
        b = std::isfinite(b) ? std::max(0.0f, b) : 0;
        if (a + b > total && a + b > 0) {
            float k = total / (a + b);
            a = std::floor(a * k);
            b = std::floor(b * k);
        }
        *out_a = a;
        *out_b = b;
    };
    float sl, sr, st, sb;
    fit(margins.left, margins.right, static_cast<float>(image.width), &sl, &sr);
    fit(margins.top, margins.bottom, static_cast<float>(image.height), &st, &sb);
    float dl, dr, dt, db;
    fit(sl, sr, dest.width, &dl, &dr);
    fit(st, sb, dest.height, &dt, &db);
    const float sxs[4] = {0, sl, static_cast<float>(image.width) - sr, static_cast<float>(image.width)};
    const float sys[4] = {0, st, static_cast<float>(image.height) - sb, static_cast<float>(image.height)};
    const float dxs[4] = {dest.left, dest.left + dl, dest.Right() - dr, dest.Right()};
    const float dys[4] = {dest.top, dest.top + dt, dest.Bottom() - db, dest.Bottom()};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            RectF src = RectF::FromLtrb(sxs[col], sys[row], sxs[col + 1], sys[row + 1]);
            RectF dst = RectF::FromLtrb(dxs[col], dys[row], dxs[col + 1], dys[row + 1]);
            if (src.IsEmpty() || dst.IsEmpty()) continue;
            DrawImagePart(image, dst, src, opacity);
        }
    }
}

// ---- text ----

void ExCanvas::DrawText(const RectF& rect, std::string_view text, const Font& font, Argb argb,
                        const StringFormat& format, int effect, std::optional<Argb> glow, float glow_factor) {
    if (!Finite(rect) || text.empty()) return;
    const Argb glow_colour = glow.value_or(IsDarkColour(argb) ? ArgbOf(85, 255, 255, 255) : ArgbOf(75, 0, 0, 0));
    const RectF r{std::round(rect.left), std::round(rect.top), std::round(rect.width), std::round(rect.height)};
    TextLayout layout(text, font, format, r);

    if (effect == kTextEffectGlow || effect == kTextEffectGlowFactor) {
        double factor = effect == kTextEffectGlow ? 3.0 : glow_factor;
        if (!std::isfinite(factor) || factor <= 0) factor = 1.0;
        factor = std::min(factor, 1000.0);
        const int big_w = static_cast<int>(r.width) + 7;
        const int big_h = static_cast<int>(r.height) + 7;
        auto stamp = big_w > 0 && big_h > 0 ? CreateCanvas(big_w, big_h) : nullptr;
        if (stamp) {
            // Five stamps around (4, 4): a cheap stand-in for a blur.
            static constexpr std::array<std::array<int, 2>, 5> kOffsets{{{5, 4}, {3, 4}, {4, 3}, {4, 5}, {4, 4}}};
            for (const auto& offset : kOffsets)
                ShowLayout(stamp->m_cr, layout, glow_colour, offset[0] - r.left, offset[1] - r.top);
            const int small_w = std::max(1, static_cast<int>(big_w / factor));
            const int small_h = std::max(1, static_cast<int>(big_h / factor));
            if (auto small = CreateCanvas(small_w, small_h)) {
                small->DrawImage(*stamp, {0, 0, static_cast<float>(small_w), static_cast<float>(small_h)});
                DrawImage(*small, OffsetRect(r, -4, -4, 7, 7));
            }
        }
    }
    ShowLayout(m_cr, layout, argb, 0, 0);
}

void ExCanvas::DrawTextLayout(const TextLayout& layout, PointF offset, Argb argb) {
    if (!Finite(offset.x) || !Finite(offset.y)) return;
    ShowLayout(m_cr, layout, argb, offset.x, offset.y);
}

void ExCanvas::DrawTextLayout(const TextLayout& layout, PointF offset, Argb argb, const TextSelection& selection) {
    if (!Finite(offset.x) || !Finite(offset.y)) return;
    ShowLayout(m_cr, layout, argb, offset.x, offset.y);
    const PointF origin{layout.Origin().x + offset.x, layout.Origin().y + offset.y};
    const std::vector<RectF> rects = layout.SelectionRects(selection.from, selection.to, origin);
    if (rects.empty()) return;
    cairo_save(m_cr);
    if (auto clip = layout.Clip()) {
        cairo_rectangle(m_cr, clip->left + offset.x, clip->top + offset.y, clip->width, clip->height);
        cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_NONE);
        cairo_clip(m_cr);
        cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_DEFAULT);
    }
    cairo_new_path(m_cr);
    for (const RectF& r : rects) cairo_rectangle(m_cr, r.left, r.top, r.width, r.height);
    cairo_clip(m_cr);
    SetSource(m_cr, selection.fill);
    cairo_paint(m_cr);
    ShowLayout(m_cr, layout, selection.text, offset.x, offset.y);
    cairo_restore(m_cr);
}

Argb ExCanvas::GetPixel(int x, int y) const { return ReadPixel(m_surface, x, y); }

Argb GetPixel(const ImageSource& image, int x, int y) { return ReadPixel(image.surface, x, y); }

std::optional<RectF> MeasureText(std::string_view text, const Font& font, const RectF& layout_rect,
                                 const StringFormat& format) {
    if (!Finite(layout_rect)) return std::nullopt;
    TextLayout layout(text, font, format, layout_rect);
    RectF bounds = layout.Bounds();
    if (auto clip = layout.Clip()) {
        float left = std::max(bounds.left, clip->left);
        float top = std::max(bounds.top, clip->top);
        float right = std::min(bounds.Right(), clip->Right());
        float bottom = std::min(bounds.Bottom(), clip->Bottom());
        bounds = {left, top, std::max(0.0f, right - left), std::max(0.0f, bottom - top)};
    }
    return bounds;
}

RectF MeasureString(std::string_view text, const Font& font, const RectF& layout_rect, const StringFormat& format) {
    if (!Finite(layout_rect)) return {};
    return TextLayout(text, font, format, layout_rect).Bounds();
}

}  // namespace dui

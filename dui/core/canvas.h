#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dui/core/font.h"
#include "dui/core/geometry.h"
#include "dui/core/image.h"
#include "dui/core/string_format.h"
#include "dui/core/text_layout.h"

namespace dui {

class ExCanvas;

// Turns an RGB value (red in the low byte) and an alpha into ARGB. An alpha
// that is not given, or 255, becomes 254.
Argb MakeArgb(uint32_t rgb, std::optional<int> alpha = std::nullopt);
// ARGB from its four parts, alpha kept as given.
constexpr Argb ArgbOf(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (Argb{a} << 24) | (Argb{r} << 16) | (Argb{g} << 8) | Argb{b};
}
// Dark when 0.299 R + 0.587 G + 0.114 B < 192.
bool IsDarkColour(Argb argb);

// Geometry coordinates (paths, lines, rectangle outlines, gradients) put
// pixel centres on integers: a one-pixel line from (0, 0) to (9, 0) covers
// exactly the pixels 0..9 of row 0. Images, text and clip rectangles use pixel
// edges: a 10 x 10 image drawn at (0, 0, 10, 10) covers pixels 0..9.

// A figure made of lines and elliptical arcs. Angles are in degrees,
// clockwise from the positive x axis (y grows downwards).
class Path {
public:
    enum class FillMode : int { Alternate = 0, Winding = 1 };

    Path() = default;
    explicit Path(FillMode mode) : m_fill_mode(mode) {}

    // An arc of the ellipse inscribed in `box`, joined to the figure by a line.
    void AddArc(const RectF& box, float start_degrees, float sweep_degrees);
    void AddLine(PointF from, PointF to);
    void AddRect(const RectF& rect);
    void CloseFigure();

    FillMode Mode() const { return m_fill_mode; }
    bool IsEmpty() const { return m_ops.empty(); }
    // Bounds of the figure's outline (arc boxes clipped to the swept parts).
    RectF Bounds() const;

    // Replays the figure into a cairo context (current path replaced).
    void AppendTo(cairo_t* cr) const;

private:
    struct Op {
        enum class Kind { Arc, Line, Close } kind;
        RectF box;  // arc box, or line from (left, top) to (width, height)
        float start = 0;
        float sweep = 0;
    };
    FillMode m_fill_mode = FillMode::Alternate;
    std::vector<Op> m_ops;
    bool m_open = false;
};

// Four arcs of a d x d circle inside `rect` (the right and bottom arcs one
// pixel in, so the outline stays inside the rectangle), closed.
Path RoundRectPath(const RectF& rect, float diameter,
                   Path::FillMode mode = Path::FillMode::Alternate);

// A set of whole pixels, for clipping and hit testing.
class Region {
public:
    Region();
    explicit Region(const RectF& rect);  // the pixels whose centres lie inside
    Region(const Region& other);
    Region& operator=(const Region& other);
    Region(Region&&) noexcept = default;
    Region& operator=(Region&&) noexcept = default;
    ~Region() = default;

    // The pixels a path covers when filled without anti-aliasing.
    static Region FromPath(const Path& path);

    void Union(const Region& other);
    void Intersect(const Region& other);
    void Subtract(const Region& other);
    void Translate(int dx, int dy);
    bool Contains(int x, int y) const;
    bool IsEmpty() const;
    RectF Bounds() const;
    int RectangleCount() const;
    RectF RectangleAt(int index) const;
    const cairo_region_t* Raw() const { return m_region.get(); }

private:
    struct RegionDeleter {
        void operator()(cairo_region_t* r) const noexcept { cairo_region_destroy(r); }
    };
    std::unique_ptr<cairo_region_t, RegionDeleter> m_region;
};

enum class CombineMode : int { Replace = 0, Intersect = 1 };

// Pen dash styles.
enum class DashStyle : int { Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4 };

// Gradient directions.
enum class GradientMode : int { Horizontal = 0, Vertical = 1, ForwardDiagonal = 2, BackwardDiagonal = 3 };

// Text effects of DrawText: 3 glows with factor 3, 4 with the given factor.
enum TextEffect : int { kTextEffectNone = 0, kTextEffectGlow = 3, kTextEffectGlowFactor = 4 };

// Border styles of DrawBorder; any other value is the ARGB of a solid border.
enum BorderStyle : int64_t {
    kBorderNone = 0,
    kBorderSunken = 1,
    kBorderRaised = 2,
    kBorderSolid = 3,
    kBorderDashed = 4,
};

// What the image drawing routines read from: a still image, the active frame
// of an animation, or another canvas.
struct ImageSource {
    ImageSource(const ExImage& image)  // NOLINT: implicit by design
        : surface(image.Surface()), width(image.Width()), height(image.Height()) {}
    ImageSource(const ExCanvas& canvas);  // NOLINT: implicit by design
    ImageSource(cairo_surface_t* s, int w, int h) : surface(s), width(w), height(h) {}

    cairo_surface_t* surface = nullptr;
    int width = 0;
    int height = 0;
};

// Premultiplied ARGB32 pixels, native endian, as the platform presents them.
struct PixelView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// A width x height ARGB bitmap with a drawing context on it. Created fully
// transparent. Drawing never reports failures: a failed call leaves the
// pixels unchanged.
class ExCanvas {
public:
    // Sizes below 0, beyond the image limits, or that cannot be allocated
    // give a 0 x 0 canvas (CreateCanvas refuses them instead).
    ExCanvas(int width, int height);
    ~ExCanvas();
    ExCanvas(const ExCanvas&) = delete;
    ExCanvas& operator=(const ExCanvas&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    PixelView Pixels() const;
    // The pixels as a PNG file; empty when it cannot be encoded.
    std::string EncodePng() const;
    // A new canvas with the same pixels (clip and state are not copied).
    std::unique_ptr<ExCanvas> Clone() const;

    void Clear(Argb argb);
    // Moves every pixel row dy rows down (up when negative), as a scrolled
    // view does; the rows the move uncovers keep their old pixels for the
    // caller to repaint. A move of the whole height or more changes nothing.
    void ScrollRows(int dy);

    void FillRoundRect(const RectF& rect, float diameter, Argb argb);
    void DrawRoundRect(const RectF& rect, float diameter, Argb argb,
                       DashStyle dash = DashStyle::Solid, float pen_width = 1.0f);
    void FillRect(const RectF& rect, Argb argb);
    void FillPath(const Path& path, Argb argb);
    void DrawPath(const Path& path, Argb argb, DashStyle dash = DashStyle::Solid,
                  float pen_width = 1.0f);
    // A linear gradient from colour 1 to colour 2 over the rectangle, tiled
    // and mirrored beyond it, filling (left, top, width - 1, height - 1).
    void FillGradient(const RectF& rect, Argb argb1, Argb argb2,
                      GradientMode direction = GradientMode::Vertical);
    // Styles 0..4 as BorderStyle; any other value is the ARGB of a solid
    // rectangle. `argb` is the colour of styles 3 and 4.
    void DrawBorder(const RectF& rect, int64_t style, std::optional<Argb> argb = std::nullopt,
                    float pen_width = 1.0f);
    void DrawLine(float x1, float y1, float x2, float y2, Argb argb, float pen_width = 1.0f,
                  DashStyle dash = DashStyle::Solid);

    // Clipping. Replace sets the clip; Intersect narrows the current one.
    void SetClipRect(const RectF& rect, CombineMode mode = CombineMode::Replace);
    void SetClipRegion(const Region& region, CombineMode mode = CombineMode::Replace);
    void SetClipPath(const Path& path, CombineMode mode = CombineMode::Replace);
    void ResetClip();
    RectF GetClipBounds() const;
    // Saves and restores the clip (and nothing else drawn is affected);
    // saves nest.
    void SaveClip();
    void RestoreClip();

    // Stretched into the rectangle.
    void DrawImage(const ImageSource& image, const RectF& rect);
    // Natural size at the rectangle's top-left, or centred in it.
    void DrawImageNatural(const ImageSource& image, const RectF& rect, bool centred);
    // The source part (whole image when not given) into the destination,
    // with an opacity 0..255.
    void DrawImagePart(const ImageSource& image, const RectF& dest,
                       std::optional<RectF> source = std::nullopt, int opacity = 255);
    // Stretched into the rectangle with an opacity 0..255.
    void DrawImageAlpha(const ImageSource& image, const RectF& rect, int opacity);
    // Corners at natural size, edges stretched along their length, centre
    // stretched both ways. Margins wider than the image or the destination
    // are scaled down so opposite margins never overlap.
    void DrawImageNineGrid(const ImageSource& image, const RectF& dest, const Margins& margins,
                           int opacity = 255);

    // Draws the text; effect 3 or 4 first stamps a glow of `glow` (default:
    // white at 85 for dark text, black at 75 otherwise) behind it.
    void DrawText(const RectF& rect, std::string_view text, const Font& font, Argb argb,
                  const StringFormat& format, int effect = kTextEffectNone,
                  std::optional<Argb> glow = std::nullopt, float glow_factor = 1.0f);
    // Draws a laid-out text moved by `offset`: one built for a rectangle
    // where DrawText would draw it (clipped as it says), one set with
    // SetText with its top-left at `offset`.
    void DrawTextLayout(const TextLayout& layout, PointF offset, Argb argb);
    // The same, then the selected bytes again: the selection's rectangles
    // (TextLayout::SelectionRects) filled, and the text over the fill in the
    // selection's text colour, clipped to them (and to the layout's clip).
    void DrawTextLayout(const TextLayout& layout, PointF offset, Argb argb, const TextSelection& selection);

    // Non-premultiplied ARGB of one pixel; 0 outside the canvas.
    Argb GetPixel(int x, int y) const;

private:
    friend struct CanvasAccess;
    int m_width = 0;
    int m_height = 0;
    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_cr = nullptr;
    int m_clip_depth = 0;
};

// Owned canvases. CreateCanvas gives null when the size is beyond the limits
// or memory runs out.
std::unique_ptr<ExCanvas> CreateCanvas(int width, int height);
inline void FreeCanvas(std::unique_ptr<ExCanvas>& canvas) { canvas.reset(); }

// Bounds of the whole text as it would be drawn in the layout rectangle
// (alignment applied, clipped to the rectangle unless the format says
// NoClip); nullopt when it cannot be measured.
std::optional<RectF> MeasureText(std::string_view text, const Font& font, const RectF& layout_rect,
                                 const StringFormat& format);
// The bounding rectangle of the text laid out in the layout rectangle,
// alignment applied, not clipped.
RectF MeasureString(std::string_view text, const Font& font, const RectF& layout_rect,
                    const StringFormat& format);

// Non-premultiplied ARGB of one pixel of an image's active frame.
Argb GetPixel(const ImageSource& image, int x, int y);

}  // namespace dui

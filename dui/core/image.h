#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _GdkPixbuf GdkPixbuf;

namespace dui {

// Limits on what a decoded image may claim, so hostile bytes cannot make the
// loader allocate without bound.
inline constexpr int kMaxImageSide = 16384;
inline constexpr int64_t kMaxImagePixels = 64 * 1024 * 1024;
inline constexpr int kMaxImageFrames = 1024;
// All frames of one animation together.
inline constexpr int64_t kMaxAnimationPixels = 32 * 1024 * 1024;

// An image decoded from bytes: one or more frames of the same size, fully
// composed, as premultiplied ARGB32 cairo surfaces. Frames and delays exist
// only for images with a time dimension (GIF); other images have one frame
// and a frame count of 0.
class ExImage {
public:
    ExImage(ExImage&&) noexcept = default;
    ExImage& operator=(ExImage&&) noexcept = default;
    ~ExImage() = default;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Frames in the time dimension; 0 when the image has none.
    int FrameCount() const { return m_has_time ? static_cast<int>(m_frames.size()) : 0; }
    // Hundredths of a second per frame, exactly as stored; empty when the
    // image carries no delays.
    const std::vector<int32_t>& FrameDelays() const { return m_delays; }
    // Makes frame `index` (0-based) the one drawn; false and unchanged when
    // out of range.
    bool SelectFrame(int index);
    int ActiveFrame() const { return m_active; }
    // The active frame. Never null.
    cairo_surface_t* Surface() const { return m_frames[static_cast<size_t>(m_active)].get(); }

    // A deep copy (every frame duplicated).
    ExImage Clone() const;

private:
    struct SurfaceDeleter {
        void operator()(cairo_surface_t* s) const noexcept { cairo_surface_destroy(s); }
    };
    using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

    ExImage() = default;
    friend class ImageBuilder;

    int m_width = 0;
    int m_height = 0;
    bool m_has_time = false;
    int m_active = 0;
    std::vector<SurfacePtr> m_frames;
    std::vector<int32_t> m_delays;
};

// Decodes PNG, JPEG, BMP, ICO and GIF bytes. With signature_stripped the
// bytes are a PNG without its 8-byte signature and the signature is put in
// front. Nothing is returned for bytes that cannot be decoded, that claim
// sizes beyond the limits above, or that are empty.
std::optional<ExImage> LoadImageFromBytes(std::string_view bytes, bool signature_stripped);

// Releases the image (the optional becomes empty).
inline void FreeImage(std::optional<ExImage>& image) { image.reset(); }

inline int ImageWidth(const ExImage& image) { return image.Width(); }
inline int ImageHeight(const ExImage& image) { return image.Height(); }

// An image from icon pixels. `argb` holds width x height pixels, row by row
// `stride_pixels` apart, non-premultiplied, alpha in the top byte. When no
// pixel has a nonzero alpha the icon has no alpha channel and is opaque.
std::optional<ExImage> ImageFromIcon(const uint32_t* argb, int width, int height,
                                     int stride_pixels);
// The same from a GdkPixbuf (8 bits per sample, RGB or RGBA).
std::optional<ExImage> ImageFromIcon(const GdkPixbuf* pixbuf);
// Wraps a copy of an ARGB32 cairo image surface as a still image.
std::optional<ExImage> ImageFromSurface(cairo_surface_t* surface);

}  // namespace dui

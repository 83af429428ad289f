#include "dui/core/image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "dui/core/image_surface.h"

namespace dui {

// Assembles an ExImage from decoded frames.
class ImageBuilder {
public:
    static std::optional<ExImage> Still(cairo_surface_t* surface) {
        if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            if (surface) cairo_surface_destroy(surface);
            return std::nullopt;
        }
        ExImage image;
        image.m_width = cairo_image_surface_get_width(surface);
        image.m_height = cairo_image_surface_get_height(surface);
        image.m_frames.emplace_back(surface);
        return image;
    }

    static std::optional<ExImage> Animation(int width, int height, std::vector<cairo_surface_t*> frames,
                                            std::vector<int32_t> delays) {
        ExImage image;
        image.m_width = width;
        image.m_height = height;
        image.m_has_time = true;
        for (cairo_surface_t* frame : frames) image.m_frames.emplace_back(frame);
        image.m_delays = std::move(delays);
        if (image.m_frames.empty()) return std::nullopt;
        return image;
    }

    static ExImage Copy(const ExImage& source) {
        ExImage image;
        image.m_width = source.m_width;
        image.m_height = source.m_height;
        image.m_has_time = source.m_has_time;
        image.m_active = source.m_active;
        image.m_delays = source.m_delays;
        for (const auto& frame : source.m_frames) image.m_frames.emplace_back(CopySurface(frame.get()));
        return image;
    }

    static cairo_surface_t* CopySurface(cairo_surface_t* source) {
        int width = cairo_image_surface_get_width(source);
        int height = cairo_image_surface_get_height(source);
        cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(copy);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        return copy;
    }
};

namespace {

constexpr std::array<unsigned char, 8> kPngSignature{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

enum class Format { Unknown, Png, Gif, Jpeg, Bmp, Ico };

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
}

uint32_t Be32(std::string_view b, size_t at) {
    auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])); };
    return (u(0) << 24) | (u(1) << 16) | (u(2) << 8) | u(3);
}
uint32_t Be16(std::string_view b, size_t at) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(b[at])) << 8) |
           static_cast<unsigned char>(b[at + 1]);
}
uint32_t Le32(std::string_view b, size_t at) {
    auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])); };
    return u(0) | (u(1) << 8) | (u(2) << 16) | (u(3) << 24);
}
uint32_t Le16(std::string_view b, size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8);
}

std::string_view PngSignature() {
    return {reinterpret_cast<const char*>(kPngSignature.data()), kPngSignature.size()};
}

Format Sniff(std::string_view bytes) {
    if (StartsWith(bytes, PngSignature())) return Format::Png;
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) return Format::Gif;
    if (StartsWith(bytes, "\xFF\xD8\xFF")) return Format::Jpeg;
    if (StartsWith(bytes, "BM")) return Format::Bmp;
    if (StartsWith(bytes, std::string_view("\0\0\1\0", 4)) || StartsWith(bytes, std::string_view("\0\0\2\0", 4)))
        return Format::Ico;
    return Format::Unknown;
}

bool DimensionsAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

// What each format's header claims, checked before any decoder allocates.
bool PngHeaderAllowed(std::string_view bytes) {
    if (bytes.size() < 24 || bytes.substr(12, 4) != "IHDR") return false;
    return DimensionsAllowed(Be32(bytes, 16), Be32(bytes, 20));
}

bool JpegHeaderAllowed(std::string_view bytes) {
    size_t pos = 2;
    while (pos + 4 <= bytes.size()) {
        if (static_cast<unsigned char>(bytes[pos]) != 0xFF) return false;
        unsigned char marker = static_cast<unsigned char>(bytes[pos + 1]);
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // no length
            pos += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return false;  // no frame header before the scan
        uint32_t length = Be16(bytes, pos + 2);
        if (length < 2) return false;
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (pos + 9 > bytes.size()) return false;
            return DimensionsAllowed(Be16(bytes, pos + 7), Be16(bytes, pos + 5));
        }
        pos += 2 + length;
    }
    return false;
}

bool DibHeaderAllowed(std::string_view bytes, size_t at, bool icon) {
    if (at + 12 > bytes.size()) return false;
    uint32_t header_size = Le32(bytes, at);
    int64_t width = 0, height = 0;
    if (header_size == 12) {
        width = Le16(bytes, at + 4);
        height = Le16(bytes, at + 6);
    } else {
        width = static_cast<int32_t>(Le32(bytes, at + 4));
        height = static_cast<int32_t>(Le32(bytes, at + 8));
    }
    if (height < 0) height = -height;
    if (icon) height /= 2;  // colour and mask halves
    if (!DimensionsAllowed(width, height)) return false;
    // The decoder sizes its buffers from the declared header size and colour
    // count alone, so a file of a hundred bytes could make it allocate
    // gigabytes. Every header but the 12-byte core header holds that count
    // and none is longer than 124 bytes; others are refused before their
    // fields are read.
    if (header_size != 12 && (header_size < 40 || header_size > 124 || at + 36 > bytes.size())) return false;
    uint32_t depth = Le16(bytes, at + (header_size == 12 ? 10 : 14));
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
    if (header_size == 12) return true;
    uint32_t colours_used = Le32(bytes, at + 32);
    return colours_used <= (depth <= 8 ? 1u << depth : 256u);
}

// The decoder buffers everything up to the pixel data offset of the file
// header before it looks further, so an offset of gigabytes in a file of
// a hundred bytes is refused here.
bool BmpHeaderAllowed(std::string_view bytes) {
    if (bytes.size() < 14) return false;
    const uint32_t pixel_offset = Le32(bytes, 10);
    return pixel_offset >= 14 + 12 && pixel_offset <= bytes.size() && DibHeaderAllowed(bytes, 14, false);
}

bool IcoHeaderAllowed(std::string_view bytes) {
    if (bytes.size() < 6) return false;
    uint32_t count = Le16(bytes, 4);
    if (count == 0 || count > 256 || 6 + 16 * static_cast<size_t>(count) > bytes.size()) return false;
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * static_cast<size_t>(i);
        uint32_t offset = Le32(bytes, entry + 12);
        if (offset >= bytes.size()) return false;
        std::string_view data = bytes.substr(offset);
        bool allowed = StartsWith(data, PngSignature()) ? PngHeaderAllowed(data) : DibHeaderAllowed(bytes, offset, true);
        if (!allowed) return false;
    }
    return true;
}

// Straight RGB(A) bytes to a premultiplied ARGB32 surface.
cairo_surface_t* SurfaceFromPixbuf(const GdkPixbuf* pixbuf) {
    if (!pixbuf || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
        gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB)
        return nullptr;
    int width = gdk_pixbuf_get_width(pixbuf);
    int height = gdk_pixbuf_get_height(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    if (!DimensionsAllowed(width, height) || channels < (alpha ? 4 : 3)) return nullptr;
    int source_stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guint8* source = gdk_pixbuf_read_pixels(pixbuf);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* target = cairo_image_surface_get_data(surface);
    int target_stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const guint8* in = source + static_cast<ptrdiff_t>(y) * source_stride;
        auto* out = reinterpret_cast<uint32_t*>(target + static_cast<ptrdiff_t>(y) * target_stride);
        for (int x = 0; x < width; ++x, in += channels) {
            uint32_t a = alpha ? in[3] : 255;
            uint32_t r = (in[0] * a + 127) / 255;
            uint32_t g = (in[1] * a + 127) / 255;
            uint32_t b = (in[2] * a + 127) / 255;
            out[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

struct LoaderState {
    bool too_large = false;
};

void OnSizePrepared(GdkPixbufLoader*, int width, int height, gpointer data) {
    if (!DimensionsAllowed(width, height)) static_cast<LoaderState*>(data)->too_large = true;
}

std::optional<ExImage> LoadWithPixbuf(std::string_view bytes, const char* type) {
    GError* error = nullptr;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, &error);
    if (!loader) {
        g_clear_error(&error);
        return std::nullopt;
    }
    LoaderState state;
    g_signal_connect(loader, "size-prepared", G_CALLBACK(OnSizePrepared), &state);
    bool ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), &error);
    g_clear_error(&error);
    // Closing finishes the decode; it must run even after a failed write.
    bool closed = gdk_pixbuf_loader_close(loader, &error);
    g_clear_error(&error);
    cairo_surface_t* surface = nullptr;
    if (ok && closed && !state.too_large) surface = SurfaceFromPixbuf(gdk_pixbuf_loader_get_pixbuf(loader));
    g_object_unref(loader);
    if (!surface) return std::nullopt;
    return ImageBuilder::Still(surface);
}

// ---- JPEG ----
//
// Decoded with libjpeg straight into the surface, driven the way
// gdk-pixbuf's loader drives the same library, so the pixels and the fate of
// damaged files stay what they were when JPEGs went through that loader:
// default DCT method and upsampling; no block smoothing, which the loader
// never applied to progressive passes; its memory cap; grey expanded and
// inverted CMYK (as Photoshop writes it) multiplied by K. A file that ends
// inside the scan of a sequential image gets an end marker where the last
// whole unit of data ended, and the rows after it are decoded from nothing;
// any other cut gives no image.

// The most memory libjpeg may use for one image (a progressive image keeps
// every coefficient until its last scan).
constexpr long kMaxJpegMemory = 100L * 1024 * 1024;
// Rows asked of libjpeg at a time; no upsampling it does gives more.
constexpr int kJpegRowBatch = 4;

// The layout of one cairo ARGB32 pixel in memory, opaque.
constexpr J_COLOR_SPACE kJpegSurfaceSpace = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// libjpeg's first member is what it is handed, so the manager starts the
// struct.
struct JpegErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

// Warnings about damaged data are not for the terminal.
void JpegQuiet(j_common_ptr) {}

// The bytes are all there from the start: running out suspends the decoder
// rather than ending the image, as a loader waiting for more would.
void JpegSourceStart(j_decompress_ptr) {}
boolean JpegSourceFill(j_decompress_ptr) { return FALSE; }
void JpegSourceSkip(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    const size_t skipped = std::min(static_cast<size_t>(count), source->bytes_in_buffer);
    source->next_input_byte += skipped;
    source->bytes_in_buffer -= skipped;
}
void JpegSourceEnd(j_decompress_ptr) {}

constexpr JOCTET kJpegEndMarker[2] = {0xFF, JPEG_EOI};

// Everything a decode touches lives here, outside the frame that calls
// setjmp, so a jump out of libjpeg loses nothing.
struct JpegDecode {
    jpeg_decompress_struct info{};
    JpegErrorManager error{};
    jpeg_source_mgr source{};
    cairo_surface_t* surface = nullptr;
};

// Rows of C, M, Y, K bytes in place to opaque pixels.
void CmykRowsToArgb(unsigned char* row, int stride, int width, int rows) {
    for (int y = 0; y < rows; ++y, row += stride) {
        for (int x = 0; x < width; ++x) {
            unsigned char* at = row + static_cast<ptrdiff_t>(x) * 4;
            const uint32_t k = at[3];
            const uint32_t pixel = 0xFF000000u | ((k * at[0] / 255) << 16) | ((k * at[1] / 255) << 8) | (k * at[2] / 255);
            std::memcpy(at, &pixel, sizeof pixel);
        }
    }
}

// True with the pixels in decode.surface. Nothing with a destructor may live
// in this frame: a libjpeg error jumps back into it.
bool RunJpegDecode(JpegDecode& decode, std::string_view bytes) {
    jpeg_decompress_struct& info = decode.info;
    if (setjmp(decode.error.jump) != 0) return false;
    jpeg_create_decompress(&info);
    decode.source.init_source = JpegSourceStart;
    decode.source.fill_input_buffer = JpegSourceFill;
    decode.source.skip_input_data = JpegSourceSkip;
    decode.source.resync_to_restart = jpeg_resync_to_restart;
    decode.source.term_source = JpegSourceEnd;
    decode.source.next_input_byte = reinterpret_cast<const JOCTET*>(bytes.data());
    decode.source.bytes_in_buffer = bytes.size();
    info.src = &decode.source;

    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    info.mem->max_memory_to_use = kMaxJpegMemory;
    if (!DimensionsAllowed(info.image_width, info.image_height)) return false;
    const bool cmyk = info.out_color_space == JCS_CMYK;
    if (info.out_color_space == JCS_GRAYSCALE || info.out_color_space == JCS_RGB) {
        info.out_color_space = kJpegSurfaceSpace;
    } else if (!cmyk) {
        return false;
    }
    info.do_block_smoothing = FALSE;

    decode.surface = NewImageSurface(static_cast<int>(info.image_width), static_cast<int>(info.image_height));
    if (cairo_surface_status(decode.surface) != CAIRO_STATUS_SUCCESS) return false;
    if (!jpeg_start_decompress(&info)) return false;  // a multi-scan image cut short
    if (info.output_width != info.image_width || info.output_height != info.image_height ||
        info.output_components != 4)
        return false;
    cairo_surface_flush(decode.surface);
    unsigned char* const pixels = cairo_image_surface_get_data(decode.surface);
    const int stride = cairo_image_surface_get_stride(decode.surface);
    const int width = static_cast<int>(info.output_width);
    const int height = static_cast<int>(info.output_height);
    const int batch = std::clamp(info.rec_outbuf_height, 1, kJpegRowBatch);
    bool ended = false;
    while (info.output_scanline < info.output_height) {
        const int first = static_cast<int>(info.output_scanline);
        const int wanted = std::min(batch, height - first);
        JSAMPROW rows[kJpegRowBatch];
        for (int i = 0; i < wanted; ++i) rows[i] = pixels + static_cast<ptrdiff_t>(first + i) * stride;
        const auto read = static_cast<int>(jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(wanted)));
        if (read == 0) {
            // The data ran out: once, an end marker replaces what is left
            // of the unit it ran out in.
            if (ended) return false;
            ended = true;
            decode.source.next_input_byte = kJpegEndMarker;
            decode.source.bytes_in_buffer = sizeof kJpegEndMarker;
            continue;
        }
        if (cmyk) CmykRowsToArgb(rows[0], stride, width, read);
    }
    // Suspending here only means the end marker is missing.
    jpeg_finish_decompress(&info);
    return true;
}

std::optional<ExImage> LoadJpeg(std::string_view bytes) {
    JpegDecode decode;
    decode.info.err = jpeg_std_error(&decode.error.manager);
    decode.error.manager.error_exit = JpegFail;
    decode.error.manager.output_message = JpegQuiet;
    const bool decoded = RunJpegDecode(decode, bytes);
    jpeg_destroy_decompress(&decode.info);
    if (!decoded) {
        if (decode.surface != nullptr) cairo_surface_destroy(decode.surface);
        return std::nullopt;
    }
    cairo_surface_mark_dirty(decode.surface);
    return ImageBuilder::Still(decode.surface);
}

// ---- GIF ----

struct GifReader {
    std::string_view bytes;
    size_t position = 0;
};

int ReadGifBytes(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<GifReader*>(gif->UserData);
    if (length <= 0) return 0;
    size_t n = std::min(static_cast<size_t>(length), reader->bytes.size() - reader->position);
    std::memcpy(buffer, reader->bytes.data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const noexcept {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

struct GifFrameControl {
    int disposal = DISPOSAL_UNSPECIFIED;
    int delay = 0;
    int transparent = NO_TRANSPARENT_COLOR;
};

cairo_surface_t* SurfaceFromPremultiplied(const std::vector<uint32_t>& pixels, int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(data + static_cast<ptrdiff_t>(y) * stride, pixels.data() + static_cast<size_t>(y) * width,
                    static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(surface);
    return surface;
}

// Decodes every frame and composes it over the previous ones by the
// disposal method the previous frame asked for. A frame that breaks off
// ends the animation; the frames before it are kept.
std::optional<ExImage> LoadGif(std::string_view bytes) {
    GifReader reader{bytes, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadGifBytes, &error));
    if (!gif) return std::nullopt;

    int width = gif->SWidth;
    int height = gif->SHeight;
    std::vector<uint32_t> canvas;
    std::vector<uint32_t> saved;
    std::vector<cairo_surface_t*> frames;
    std::vector<int32_t> delays;
    GifFrameControl pending;
    GifFrameControl previous;
    GifWord prev_left = 0, prev_top = 0, prev_width = 0, prev_height = 0;
    int64_t decoded_pixels = 0;
    std::vector<GifPixelType> raster;
    bool done = false;

    while (!done) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) break;
        switch (type) {
            case EXTENSION_RECORD_TYPE: {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
                    done = true;
                    break;
                }
                if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                    GraphicsControlBlock gcb{};
                    DGifExtensionToGCB(block[0], block + 1, &gcb);
                    pending.disposal = gcb.DisposalMode;
                    pending.delay = gcb.DelayTime;
                    pending.transparent = gcb.TransparentColor;
                }
                while (block) {
                    if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                        done = true;
                        break;
                    }
                }
                break;
            }
            case IMAGE_DESC_RECORD_TYPE: {
                if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
                    done = true;
                    break;
                }
                const GifImageDesc& desc = gif->Image;
                if (!DimensionsAllowed(desc.Width, desc.Height) || desc.Left < 0 || desc.Top < 0) {
                    done = true;
                    break;
                }
                if (frames.empty() && canvas.empty()) {
                    if (width <= 0 || height <= 0) {
                        width = desc.Left + desc.Width;
                        height = desc.Top + desc.Height;
                    }
                    if (!DimensionsAllowed(width, height)) return std::nullopt;
                }
                const int64_t frame_pixels = static_cast<int64_t>(desc.Width) * desc.Height;
                const int64_t canvas_pixels = static_cast<int64_t>(width) * height;
                // The first frame is bounded by the image limits alone, so a
                // large still GIF loads; further frames share one budget.
                if (static_cast<int>(frames.size()) >= kMaxImageFrames ||
                    (!frames.empty() && decoded_pixels + frame_pixels + canvas_pixels > kMaxAnimationPixels)) {
                    done = true;
                    break;
                }
                decoded_pixels += frame_pixels + canvas_pixels;

                raster.assign(static_cast<size_t>(frame_pixels), 0);
                // Rows the data ends before stay as they were on the canvas.
                std::vector<bool> row_read(static_cast<size_t>(desc.Height), false);
                int rows_read = 0;
                bool complete = true;
                auto read_row = [&](int row) {
                    if (!complete) return;
                    if (DGifGetLine(gif.get(), raster.data() + static_cast<size_t>(row) * desc.Width, desc.Width) ==
                        GIF_ERROR) {
                        complete = false;
                        return;
                    }
                    row_read[static_cast<size_t>(row)] = true;
                    ++rows_read;
                };
                if (desc.Interlace) {
                    static constexpr int kStart[4] = {0, 4, 2, 1};
                    static constexpr int kStep[4] = {8, 8, 4, 2};
                    for (int pass = 0; pass < 4; ++pass)
                        for (int row = kStart[pass]; row < desc.Height; row += kStep[pass]) read_row(row);
                } else {
                    for (int row = 0; row < desc.Height; ++row) read_row(row);
                }
                if (!complete && !frames.empty()) {
                    done = true;
                    break;
                }
                // A first frame without a single row of data is no picture;
                // a few bytes claiming a huge one must not cost its canvas.
                if (rows_read == 0) {
                    done = true;
                    break;
                }
                if (canvas.empty()) canvas.assign(static_cast<size_t>(width) * height, 0);

                // Undo the previous frame as its disposal method says.
                if (previous.disposal == DISPOSE_BACKGROUND) {
                    for (int y = std::max(0, prev_top); y < std::min(height, prev_top + prev_height); ++y)
                        for (int x = std::max(0, prev_left); x < std::min(width, prev_left + prev_width); ++x)
                            canvas[static_cast<size_t>(y) * width + x] = 0;
                } else if (previous.disposal == DISPOSE_PREVIOUS && saved.size() == canvas.size()) {
                    canvas = saved;
                }
                if (pending.disposal == DISPOSE_PREVIOUS) saved = canvas;

                const ColorMapObject* colours = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
                const int colour_count = colours ? colours->ColorCount : 0;
                for (int y = 0; y < desc.Height; ++y) {
                    int cy = desc.Top + y;
                    if (cy >= height) break;
                    if (!row_read[static_cast<size_t>(y)]) continue;
                    for (int x = 0; x < desc.Width; ++x) {
                        int cx = desc.Left + x;
                        if (cx >= width) break;
                        int index = raster[static_cast<size_t>(y) * desc.Width + x];
                        if (index == pending.transparent || index >= colour_count) continue;
                        const GifColorType& c = colours->Colors[index];
                        canvas[static_cast<size_t>(cy) * width + cx] =
                            0xFF000000u | (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;
                    }
                }
                cairo_surface_t* frame = SurfaceFromPremultiplied(canvas, width, height);
                if (!frame) {
                    done = true;
                    break;
                }
                frames.push_back(frame);
                delays.push_back(pending.delay);
                previous = pending;
                prev_left = desc.Left;
                prev_top = desc.Top;
                prev_width = desc.Width;
                prev_height = desc.Height;
                pending = GifFrameControl{};
                if (!complete) done = true;
                break;
            }
            case TERMINATE_RECORD_TYPE:
            case SCREEN_DESC_RECORD_TYPE:
            case UNDEFINED_RECORD_TYPE:
                done = true;
                break;
        }
    }
    // The builder takes ownership of the frames.
    return ImageBuilder::Animation(width, height, std::move(frames), std::move(delays));
}

}  // namespace

bool ExImage::SelectFrame(int index) {
    if (index < 0 || index >= static_cast<int>(m_frames.size())) return false;
    m_active = index;
    return true;
}

ExImage ExImage::Clone() const { return ImageBuilder::Copy(*this); }

std::optional<ExImage> LoadImageFromBytes(std::string_view bytes, bool signature_stripped) {
    std::string joined;
    if (signature_stripped) {
        joined.reserve(bytes.size() + kPngSignature.size());
        joined.append(PngSignature());
        joined.append(bytes);
        bytes = joined;
    }
    switch (Sniff(bytes)) {
        case Format::Png:
            if (!PngHeaderAllowed(bytes)) return std::nullopt;
            return LoadWithPixbuf(bytes, "png");
        case Format::Gif:
            return LoadGif(bytes);
        case Format::Jpeg:
            if (!JpegHeaderAllowed(bytes)) return std::nullopt;
            return LoadJpeg(bytes);
        case Format::Bmp:
            if (!BmpHeaderAllowed(bytes)) return std::nullopt;
            return LoadWithPixbuf(bytes, "bmp");
        case Format::Ico:
            if (!IcoHeaderAllowed(bytes)) return std::nullopt;
            return LoadWithPixbuf(bytes, "ico");
        case Format::Unknown:
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<ExImage> ImageFromIcon(const uint32_t* argb, int width, int height, int stride_pixels) {
    if (!argb || !DimensionsAllowed(width, height) || stride_pixels < width) return std::nullopt;
    bool has_alpha = false;
    for (int y = 0; y < height && !has_alpha; ++y)
        for (int x = 0; x < width; ++x)
            if (argb[static_cast<size_t>(y) * stride_pixels + x] >> 24) {
                has_alpha = true;
                break;
            }
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = argb[static_cast<size_t>(y) * stride_pixels + x];
            uint32_t a = has_alpha ? p >> 24 : 255;
            uint32_t r = (((p >> 16) & 0xFF) * a + 127) / 255;
            uint32_t g = (((p >> 8) & 0xFF) * a + 127) / 255;
            uint32_t b = ((p & 0xFF) * a + 127) / 255;
            pixels[static_cast<size_t>(y) * width + x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return ImageBuilder::Still(SurfaceFromPremultiplied(pixels, width, height));
}

std::optional<ExImage> ImageFromIcon(const GdkPixbuf* pixbuf) {
    cairo_surface_t* surface = SurfaceFromPixbuf(pixbuf);
    if (!surface) return std::nullopt;
    return ImageBuilder::Still(surface);
}

std::optional<ExImage> ImageFromSurface(cairo_surface_t* surface) {
    if (!surface || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        return std::nullopt;
    if (!DimensionsAllowed(cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface)))
        return std::nullopt;
    return ImageBuilder::Still(ImageBuilder::CopySurface(surface));
}

}  // namespace dui

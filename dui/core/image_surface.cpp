#include "dui/core/image_surface.h"

#include <sys/mman.h>

#include <cstddef>

namespace dui {
namespace {

// Below this the pixels are a few pages, which the allocator has at hand.
constexpr std::size_t kMappedSurfaceBytes = 64 * 1024;

struct SurfaceMapping {
    void* pixels;
    std::size_t bytes;
};

void Unmap(void* data) {
    auto* mapping = static_cast<SurfaceMapping*>(data);
    munmap(mapping->pixels, mapping->bytes);
    delete mapping;
}

}  // namespace

cairo_surface_t* NewImageSurface(int width, int height) {
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    const std::size_t bytes = stride > 0 && height > 0 ? std::size_t(stride) * std::size_t(height) : 0;
    if (bytes < kMappedSurfaceBytes) return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    void* pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (pixels == MAP_FAILED) return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(static_cast<unsigned char*>(pixels),
                                                                   CAIRO_FORMAT_ARGB32, width, height, stride);
    static const cairo_user_data_key_t kMappingKey{};
    auto* mapping = new SurfaceMapping{pixels, bytes};
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface, &kMappingKey, mapping, Unmap) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        Unmap(mapping);
        return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    }
    return surface;
}

}  // namespace dui

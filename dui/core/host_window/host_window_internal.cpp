#include "dui/core/host_window/host_window_internal.h"

#include <cairo.h>

#include <cmath>
#include <cstdint>

#include "dui/core/canvas_access.h"

namespace dui::host_window_internal {

plat::RECT ToRect(const RectF& rect) {
    return plat::RECT{static_cast<int32_t>(std::floor(rect.left)),
                      static_cast<int32_t>(std::floor(rect.top)),
                      static_cast<int32_t>(std::ceil(rect.Right())),
                      static_cast<int32_t>(std::ceil(rect.Bottom()))};
}

plat::SurfaceView ViewOf(const ExCanvas& canvas) {
    const PixelView pixels = canvas.Pixels();
    return plat::SurfaceView{pixels.data, pixels.width, pixels.height, pixels.stride};
}

RectF WholeOf(const ExCanvas& canvas) {
    return RectF{0, 0, static_cast<float>(canvas.Width()), static_cast<float>(canvas.Height())};
}

void CopyRect(ExCanvas& target, const ExCanvas& source, const RectF& rect) {
    cairo_t* cr = CanvasAccess::Context(target);
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, CanvasAccess::Surface(source), 0, 0);
    cairo_rectangle(cr, rect.left, rect.top, rect.width, rect.height);
    cairo_fill(cr);
    cairo_restore(cr);
}

}  // namespace dui::host_window_internal

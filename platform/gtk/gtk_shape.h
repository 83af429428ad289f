#pragma once
// Window shapes as X regions: from the rounded rectangle of a window region,
// and from the alpha channel of a layered window's surface (on screens
// without a compositor, where the alpha channel cannot be shown).

#include <cstdint>

#include "platform/backend.h"
#include "platform/gtk/gtk_ptr.h"

namespace plat::gtk {

// The pixels of a width x height window that `shape` covers.
RegionPtr RegionFromShape(const WindowShape& shape, int width, int height);

// The pixels whose alpha, scaled by constant_alpha / 255, is at least
// `threshold` (1..255). An unusable surface yields an empty region.
RegionPtr RegionFromAlpha(const SurfaceView& surface, uint8_t constant_alpha, int threshold);

}  // namespace plat::gtk

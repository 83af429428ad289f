#pragma once
// Inside the framework only.

#include <cairo.h>

namespace dui {

// A cleared ARGB32 image surface (never null; check its status). The pixels
// of a large one are mapped all at once: each first touch of a fresh page
// otherwise costs a fault of its own, and every full-size buffer is painted
// whole soon after it is made.
cairo_surface_t* NewImageSurface(int width, int height);

}  // namespace dui

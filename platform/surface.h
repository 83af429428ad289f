#pragma once
// Putting pixels on screen. Every window keeps a retained surface of its
// client size (premultiplied ARGB32, native endian: cairo's
// CAIRO_FORMAT_ARGB32); the screen shows that surface, so nothing is lost
// when a window is covered and uncovered.

#include <cstdint>

#include "platform/win_types.h"

namespace plat {

struct SurfaceView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;   // bytes per row
};

// Copies `rect` (client coordinates, clipped to both surfaces) of `source`
// into the window's retained surface at the same position and puts it on
// screen: what BitBlt to the window's device context did.
void Present(HWND hwnd, const SurfaceView& source, const RECT& rect);

// Replaces the whole retained surface of a WS_EX_LAYERED window with
// `source` (per-pixel alpha) and shows it with `constant_alpha` on top. A
// source of another size resizes the window to it. False when the window is
// not layered or the source is unusable.
bool UpdateLayeredWindow(HWND hwnd, const SurfaceView& source, uint8_t constant_alpha);

// Puts every pending screen update on screen now (before a blocking call).
void FlushScreen();

// Waits, at most `timeout_ms`, until what was pushed to the window last is
// drawn on the screen: a window just shown is drawn once the window system
// has mapped it. Messages stay queued meanwhile.
void AwaitDrawn(HWND hwnd, DWORD timeout_ms);

}  // namespace plat

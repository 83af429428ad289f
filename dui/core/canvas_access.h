#pragma once

// Inside the framework only: the cairo and Pango objects behind a canvas and
// a laid-out text, for the code that composes canvases into a window and
// draws text. Controls draw through ExCanvas and never include this.

#include <cairo.h>
#include <pango/pango.h>

#include "dui/core/canvas.h"
#include "dui/core/text_layout.h"

namespace dui {

struct CanvasAccess {
    static cairo_t* Context(ExCanvas& canvas) { return canvas.m_cr; }
    static cairo_surface_t* Surface(const ExCanvas& canvas) { return canvas.m_surface; }
};

struct TextLayoutAccess {
    static PangoLayout* Layout(const TextLayout& layout);
};

}  // namespace dui

#pragma once

#include "dui/core/canvas.h"
#include "dui/core/geometry.h"
#include "platform/platform.h"

// What the host window's source files share: caption geometry and the small
// conversions between canvases, rectangles and the platform's surfaces. Not
// for use outside dui/core/host_window/.
namespace dui::host_window_internal {

// Caption geometry.
inline constexpr float kCaptionTop = 7;
inline constexpr float kCaptionButtonHeight = 19;
inline constexpr int kCaptionStep = 28;
inline constexpr RectF kIconBounds{11, 11, 16, 16};
inline constexpr float kTitleTop = 11;
inline constexpr float kTitleHeight = 20;

// A double click on an empty spot above this line toggles maximise.
inline constexpr int kCaptionBandHeight = 30;

// The smallest whole-pixel rectangle covering `rect`.
plat::RECT ToRect(const RectF& rect);
plat::SurfaceView ViewOf(const ExCanvas& canvas);
RectF WholeOf(const ExCanvas& canvas);
// Copies a rectangle of one canvas into another, replacing what was there.
void CopyRect(ExCanvas& target, const ExCanvas& source, const RectF& rect);

}  // namespace dui::host_window_internal

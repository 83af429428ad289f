// The background: image and colour, the painted frame, the shadow rings
// of a layered window and the shape of a plain one.

#include "dui/core/host_window.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "dui/core/host_window/host_window_internal.h"

namespace dui {

using host_window_internal::CopyRect;
using host_window_internal::WholeOf;

namespace {

// Milliseconds between the steps of a fade-in to a new background.
constexpr unsigned kFadeInInterval = 50;

Argb ColourArgb(int32_t rgb, int alpha) {
    return MakeArgb(static_cast<uint32_t>(rgb) & 0xFFFFFF, alpha);
}

template <class Visit>
void ForEachControl(ControlHandle first, const Visit& visit) {
    for (ControlHandle at = first; at != ControlHandle::None;) {
        ExControl* control = ResolveControl(at);
        if (control == nullptr) return;
        const ControlHandle next = control->NextSibling();
        const ControlHandle children = control->Children().first;
        visit(at);
        ForEachControl(children, visit);
        at = next;
    }
}

}  // namespace

const ExImage* ExHostWindow::BackgroundImage() const {
    return m_background_image ? &*m_background_image : nullptr;
}

void ExHostWindow::SetBackground(std::optional<std::string> image_bytes,
                                 std::optional<int32_t> colour, bool prepare_fade_in) {
    if (m_window == nullptr) return;
    const plat::HWND window = m_window;
    m_animating = true;
    ExHostWindow* shared = HostFromWindow(m_shared_background);
    if (shared != nullptr && shared != this && plat::IsWindow(m_shared_background)) {
        m_background_image.reset();
        if (const ExImage* image = shared->BackgroundImage()) m_background_image = image->Clone();
        m_background_colour = shared->BackgroundColour();
    } else {
        if (image_bytes) {
            m_background_bytes = std::move(*image_bytes);
            m_background_image.reset();
            if (!m_background_bytes.empty()) {
                m_background_image = LoadImageFromBytes(m_background_bytes, false);
            }
        }
        if (colour && *colour != -1) m_background_colour = *colour;
    }
    m_transition.reset();
    if (prepare_fade_in && Layered() && m_back_buffer != nullptr) m_transition = m_back_buffer->Clone();

    PaintBackground();
    if (!Alive(window)) return;

    const RectF outline{7, 7, float(m_width) - 14, float(m_height) - 14};
    m_clip_region.reset();
    if (!outline.IsEmpty()) m_clip_region = Region::FromPath(RoundRectPath(outline, 3));
    m_redraw_queue.Clear();
    LayoutCaption();
    ForEachControl(m_controls.first,
                   [](ControlHandle control) { DispatchToControl(control, EX_MSG_REPAINTSTATE, 0, 0); });
    if (!Alive(window)) return;
    m_animating = false;

    if (m_transition != nullptr) {
        m_animating = true;
        m_fade_in_alpha = 0;
        plat::SetTimer(window, m_own_handle, kFadeInInterval, nullptr);
    } else {
        RedrawWholeNow();
    }
}

void ExHostWindow::PaintBackground() {
    if (m_back_buffer == nullptr || m_background_cache == nullptr) return;
    ExCanvas& back = *m_back_buffer;
    const RectF whole = WholeOf(back);
    back.ResetClip();
    back.Clear(0);
    PaintFrameAndImage(back);
    back.ResetClip();
    if (m_on_paint_background) {
        const PaintBackgroundCallback callback = m_on_paint_background;
        callback(m_window, back, m_width, m_height);
        if (m_back_buffer.get() != &back) return;
        back.ResetClip();
    }
    if (m_frame_style != 1) {
        const bool rounded = m_frame_style != 0;
        const RectF outer = OffsetRect(whole, 6, 6, -12, -12);
        const RectF inner = OffsetRect(whole, 7, 7, -14, -14);
        const Argb dark = ArgbOf(204, 0x60, 0x60, 0x60);
        const Argb light = ArgbOf(102, 255, 255, 255);
        if (rounded) {
            back.DrawRoundRect(outer, 7, dark);
            back.DrawRoundRect(inner, 6, light);
        } else {
            back.DrawBorder(outer, kBorderSolid, dark);
            back.DrawBorder(inner, kBorderSolid, light);
        }
        if (Layered()) {
            DrawShadow(back);
        } else {
            ApplyWindowRegion();
        }
    }
    CopyRect(*m_background_cache, back, whole);
}

void ExHostWindow::PaintFrameAndImage(ExCanvas& canvas) {
    const RectF whole = WholeOf(canvas);
    const ExImage* image = BackgroundImage();
    if (m_frame_style == 1) {
        if (image != nullptr) {
            if (m_nine_grid.IsEmpty()) {
                canvas.DrawImage(*image, whole);
            } else {
                canvas.DrawImageNineGrid(*image, whole, m_nine_grid);
            }
        }
        return;
    }
    const RectF shape = OffsetRect(whole, 6, 6, -12, -12);
    canvas.SetClipPath(RoundRectPath(shape, m_frame_style == 0 ? 0 : 4));
    // Without a colour the frame is white, as an absent colour always was.
    const int32_t colour = m_background_colour == -1 ? 0xFFFFFF : m_background_colour;
    const int alpha = (Layered() && image == nullptr) ? m_layered_alpha : 255;
    canvas.FillRect(whole, ColourArgb(colour, alpha));
    if (image != nullptr) {
        switch (m_image_mode) {
            case 1:
                canvas.DrawImage(*image, whole);
                break;
            case 2: {
                canvas.DrawImageNatural(*image, whole, true);
                if (m_image_frame) {
                    const float left = std::floor((whole.width - float(image->Width())) / 2);
                    const float top = std::floor((whole.height - float(image->Height())) / 2);
                    canvas.DrawBorder(RectF{left - 1, top - 1, float(image->Width()) + 2,
                                            float(image->Height()) + 2},
                                      kBorderSolid, ArgbOf(102, 0, 0, 0));
                }
                break;
            }
            default:
                canvas.DrawImageNatural(*image, whole, false);
                break;
        }
    }
    if (Layered() && m_layered_alpha < 255) {
        std::unique_ptr<ExCanvas> copy = canvas.Clone();
        canvas.ResetClip();
        canvas.Clear(0);
        if (copy != nullptr) canvas.DrawImageAlpha(*copy, whole, m_layered_alpha);
    }
}

void ExHostWindow::DrawShadow(ExCanvas& canvas) {
    constexpr int kAlphas[] = {45, 25, 10, 5};
    constexpr float kRounded[] = {10, 12, 15, 18};
    constexpr float kSquare[] = {1, 4, 7, 11};
    const bool rounded = m_frame_style != 0;
    for (int ring = 0; ring < 4; ++ring) {
        const auto out = float(ring);
        const RectF rect{5 - out, 5 - out, float(m_width) - 10 + 2 * out,
                         float(m_height) - 10 + 2 * out};
        canvas.DrawRoundRect(rect, rounded ? kRounded[ring] : kSquare[ring],
                             ColourArgb(m_shadow_colour, kAlphas[ring]));
    }
}

void ExHostWindow::ApplyWindowRegion() {
    const int inset = plat::IsZoomed(m_window) ? 5 : 6;
    plat::HRGN region =
        m_frame_style == 0
            ? plat::CreateRectRgn(inset, inset, m_width - inset, m_height - inset)
            : plat::CreateRoundRectRgn(inset, inset, m_width - inset, m_height - inset, 5, 5);
    if (region != nullptr) plat::SetWindowRgn(m_window, region, 1);
}

int ExHostWindow::FrameStyle(int value) {
    m_frame_style = value;
    return m_frame_style;
}

int32_t ExHostWindow::ShadowColour(int32_t rgb) {
    m_shadow_colour = rgb;
    return m_shadow_colour;
}

}  // namespace dui

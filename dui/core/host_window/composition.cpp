// Frames: the redraw queue, composing controls over the background into
// the back buffer and pushing it to the screen.

#include "dui/core/host_window.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "dui/core/host_window/host_window_internal.h"

namespace dui {

using host_window_internal::CopyRect;
using host_window_internal::ToRect;
using host_window_internal::ViewOf;
using host_window_internal::WholeOf;

namespace {

// Upper bound on the rectangles composed in one pass of the redraw queue; a
// control that asks for a redraw whenever it is drawn would otherwise keep
// the pass running forever. What is left is redrawn from the message loop.
constexpr int kMaxComposePerPass = 1024;

}  // namespace

void ExHostWindow::RedrawRect(const RectF& rect, RedrawMode mode) {
    if (m_window == nullptr) return;
    if (mode == RedrawMode::Now) {
        ComposeRect(rect, true);
        return;
    }
    if (rect.IsEmpty()) return;
    m_redraw_queue.Add(rect, mode);
    RequestFrame();
}

void ExHostWindow::MarkDirty(ControlHandle control) {
    if (m_window == nullptr || control == ControlHandle::None) return;
    m_dirty_controls.push_back(control);
    RequestFrame();
}

void ExHostWindow::RequestFrame() {
    // While a frame runs, what its painting queues is composed by it; what
    // is left at its end asks for the next one.
    if (m_window == nullptr || m_frame_requested || m_redraw_queue.Busy()) return;
    m_frame_requested = true;
    if (!plat::PostMessage(m_window, EX_MSG_FRAME, 0, 0)) m_frame_requested = false;
}

void ExHostWindow::ComposeFrame() {
    const plat::HWND window = m_window;
    const std::optional<RectF> composed = ComposeQueued();
    if (!Alive(window) || !composed || m_animating) return;
    Present(*composed);
}

std::optional<RectF> ExHostWindow::ComposeQueued() {
    const plat::HWND window = m_window;
    if (window == nullptr) return std::nullopt;
    m_frame_requested = false;
    // What was asked for during an animation waits for its end, which
    // redraws the whole window or asks for a frame.
    if (m_animating) return std::nullopt;
    m_redraw_queue.Busy(true);
    // Painting may dirty controls again (a control that invalidates itself
    // while painting); those wait for the next frame.
    std::vector<ControlHandle> dirty;
    dirty.swap(m_dirty_controls);
    for (ControlHandle handle : dirty) {
        ExControl* control = ResolveControl(handle);
        if (control == nullptr || control->Host() != this || !control->Dirty()) continue;
        if (!control->Visible()) {
            // Painted when it is shown: Visible(true) invalidates it.
            control->m_dirty = false;
            continue;
        }
        control->PaintNow();
        if (!Alive(window)) return std::nullopt;
    }
    std::optional<RectF> area;
    int composed = 0;
    while (auto rect = m_redraw_queue.TakeFront()) {
        // Rectangles queued by the compositions themselves (a custom-drawn
        // control asking for more) wait for the next frame.
        if (++composed > kMaxComposePerPass) break;
        ComposeRect(*rect, false);
        if (!Alive(window)) return std::nullopt;
        area = area ? UnionOf(*area, *rect) : *rect;
    }
    m_redraw_queue.Busy(false);
    if (!m_redraw_queue.Empty() || !m_dirty_controls.empty()) RequestFrame();
    if (!Alive(window)) return std::nullopt;
    if (area) {
        area = IntersectOf(*area, RectF{0, 0, float(m_width), float(m_height)});
        if (area->IsEmpty()) area.reset();
    }
    return area;
}

void ExHostWindow::RedrawWholeNow() {
    m_redraw_queue.Clear();
    m_redraw_queue.Add(RectF{0, 0, float(m_width), float(m_height)}, RedrawMode::Append);
    ComposeFrame();
}

void ExHostWindow::ComposeRect(const RectF& rect, bool push) {
    if (m_animating || m_back_buffer == nullptr || m_background_cache == nullptr) return;
    const plat::HWND window = m_window;
    ExCanvas& back = *m_back_buffer;
    back.SaveClip();
    back.SetClipRect(rect, CombineMode::Intersect);
    if (m_clip_region) back.SetClipRegion(*m_clip_region, CombineMode::Intersect);
    CopyRect(back, *m_background_cache, rect);
    DrawSiblingList(m_controls.first, rect);
    if (!Alive(window) || m_back_buffer.get() != &back) return;
    back.RestoreClip();
    if (push) Present(rect);
}

void ExHostWindow::DrawSiblingList(ControlHandle first, const RectF& rect) {
    ExCanvas& back = *m_back_buffer;
    for (ControlHandle at = first; at != ControlHandle::None;) {
        ExControl* control = ResolveControl(at);
        if (control == nullptr) return;
        if (control->Visible() && RectsOverlap(control->Bounds(), rect)) {
            const RectF bounds = control->Bounds();
            if (control->Disabled()) {
                if (const ExCanvas* canvas = control->Canvas()) {
                    back.DrawImageAlpha(*canvas, bounds, std::clamp(control->Alpha(), 0, 255));
                }
            } else {
                CompositionRecord record;
                record.target = &back;
                record.canvas = control->Canvas();
                record.fade_snapshot = control->FadeSnapshot();
                record.rect = bounds;
                const intptr_t drawn = DispatchToControl(at, EX_MSG_CUSTOMDRAW, 0,
                                                         reinterpret_cast<intptr_t>(&record));
                control = ResolveControl(at);
                if (control == nullptr || m_back_buffer.get() != &back) return;
                if (drawn <= 0) {
                    const int alpha = std::clamp(control->Alpha(), 0, 255);
                    const int fade = std::clamp(control->FadeAlpha(), 0, 255);
                    if (const ExCanvas* snapshot = control->FadeSnapshot(); snapshot && alpha > fade) {
                        back.DrawImageAlpha(*snapshot, bounds, alpha - fade);
                    }
                    if (const ExCanvas* canvas = control->Canvas(); canvas && fade > 0) {
                        back.DrawImageAlpha(*canvas, bounds, fade);
                    }
                }
            }
            if (control->Children().first != ControlHandle::None) {
                back.SaveClip();
                back.SetClipRect(bounds, CombineMode::Intersect);
                DrawSiblingList(control->Children().first, rect);
                if (m_back_buffer.get() != &back) return;
                back.RestoreClip();
                control = ResolveControl(at);
                if (control == nullptr) return;
            }
        }
        at = control->NextSibling();
    }
}

void ExHostWindow::Present(std::optional<RectF> rect) {
    if (m_window == nullptr || m_back_buffer == nullptr) return;
    if (Layered()) {
        PushLayered();
        return;
    }
    const RectF area = rect.value_or(WholeOf(*m_back_buffer));
    plat::Present(m_window, ViewOf(*m_back_buffer), ToRect(area));
}

void ExHostWindow::PushLayered() {
    if (m_window == nullptr || m_back_buffer == nullptr || !Layered()) return;
    plat::UpdateLayeredWindow(m_window, ViewOf(*m_back_buffer), 255);
}

}  // namespace dui

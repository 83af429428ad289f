// Show and close animations and the fade-in to a new background.

#include "dui/core/host_window.h"

#include <algorithm>
#include <memory>

#include "dui/core/host_window/host_window_internal.h"
#include "util/scoped_value.h"

namespace dui {

using host_window_internal::ViewOf;
using host_window_internal::WholeOf;

namespace {

// Opacity gained per fade-in step; a show animation gains a third of it
// per frame.
constexpr int kAlphaStep = 51;

// How long a show animation's first frame may take to reach the screen
// before the step after it runs anyway.
constexpr plat::DWORD kFirstFrameWaitMs = 100;

// Upper bound on the messages run by one pump between animation frames.
constexpr int kMaxPumpedMessages = 256;

// Where the whole-window snapshot is drawn in frame `step` of `steps` of an
// animation (progress p from 0 = start to 1 = end).
RectF AnimationRect(int type, float p, float width, float height, bool closing) {
    switch (type) {
        case kAnimationSlideDown: {
            const float offset = closing ? height * p : -height * (1 - p);
            return RectF{0, offset, width, height};
        }
        case kAnimationSlideUp: {
            const float offset = closing ? -height * p : height * (1 - p);
            return RectF{0, offset, width, height};
        }
        case kAnimationCentre: {
            const float scale = std::max(0.0f, closing ? 1 - p : p);
            return RectF{width * (1 - scale) / 2, height * (1 - scale) / 2, width * scale,
                         height * scale};
        }
        default:
            return RectF{0, 0, width, height};
    }
}

}  // namespace

void ExHostWindow::FadeInTick() {
    const plat::HWND window = m_window;
    if (m_transition == nullptr || m_back_buffer == nullptr) {
        plat::KillTimer(window, m_own_handle);
        m_transition.reset();
        m_animating = false;
        return;
    }
    if (m_fade_in_alpha < 255) {
        m_fade_in_alpha = std::min(255, m_fade_in_alpha + kAlphaStep);
        m_transition->DrawImageAlpha(*m_back_buffer, WholeOf(*m_transition), m_fade_in_alpha);
        plat::UpdateLayeredWindow(window, ViewOf(*m_transition), 255);
        return;
    }
    plat::KillTimer(window, m_own_handle);
    m_transition.reset();
    PushLayered();
    m_animating = false;
    RedrawWholeNow();
}

int ExHostWindow::CloseAnimation(int type) {
    m_close_animation = type;
    return m_close_animation;
}

void ExHostWindow::PumpPendingMessages() {
    plat::MSG msg{};
    for (int count = 0; count < kMaxPumpedMessages; ++count) {
        if (!plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE)) return;
        if (msg.message == plat::WM_QUIT) {
            // Not ours to consume: the loop that runs the program ends on it.
            plat::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        plat::TranslateMessage(&msg);
        plat::DispatchMessage(&msg);
    }
}

void ExHostWindow::PushAnimationFrame(const ExCanvas& frame, int alpha) {
    plat::UpdateLayeredWindow(m_window, ViewOf(frame), static_cast<uint8_t>(std::clamp(alpha, 0, 255)));
}

void ExHostWindow::ComposeWholeNow() {
    util::ScopedValue<bool> composing(m_animating, false);
    // Queued rectangles are covered by the whole; the dirty controls paint.
    m_redraw_queue.Clear();
    ComposeQueued();
    if (m_back_buffer != nullptr) ComposeRect(WholeOf(*m_back_buffer), false);
}

void ExHostWindow::RunShowAnimation(int type, int duration_ms,
                                    const std::function<void()>& after_first_frame) {
    const plat::HWND window = m_window;
    if (m_back_buffer == nullptr) return;
    ComposeRect(WholeOf(*m_back_buffer), false);
    const bool was_layered = Layered();
    const auto ex_style = plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE);
    if (!was_layered) {
        plat::SetWindowLongPtr(window, plat::GWL_EXSTYLE,
                               ex_style | static_cast<plat::LONG_PTR>(plat::WS_EX_LAYERED));
    }
    m_animating = true;
    // The first frame is drawn from the back buffer itself, which nothing
    // changes before that frame is pushed; the frames after it draw from a
    // copy taken once it is (after the step, when there is one). A new
    // canvas is transparent, so the first frame clears nothing either: on
    // the way to the first frame no full-size buffer is copied or filled.
    std::unique_ptr<ExCanvas> snapshot;
    std::unique_ptr<ExCanvas> frame = CreateCanvas(m_width, m_height);
    constexpr int kFrames = 15;
    const auto delay = static_cast<plat::DWORD>(std::max(0, duration_ms) / kFrames);
    bool shown = false;
    for (int step = 1; step <= kFrames && frame; ++step) {
        const ExCanvas* source = shown ? snapshot.get() : m_back_buffer.get();
        if (source == nullptr) break;
        const float p = float(step) / kFrames;
        if (shown) frame->Clear(0);
        frame->DrawImage(*source,
                         AnimationRect(type, p, float(m_width), float(m_height), false));
        // Only the fade changes the window's alpha; sliding and growing
        // windows are opaque from their first frame, which is also what a
        // desktop without a compositor can show at once.
        PushAnimationFrame(*frame, type == kAnimationFade ? std::min(255, kAlphaStep * step / 3) : 255);
        if (!shown) {
            if (!after_first_frame && m_back_buffer != nullptr) snapshot = m_back_buffer->Clone();
            plat::ShowWindow(window, plat::SW_SHOWNORMAL);
            shown = true;
            if (after_first_frame) {
                // On the screen before the step, which may take a while.
                plat::AwaitDrawn(window, kFirstFrameWaitMs);
                after_first_frame();
                if (!Alive(window) || m_back_buffer == nullptr) return;
                ComposeWholeNow();
                if (!Alive(window)) return;
                snapshot = m_back_buffer->Clone();
            }
        }
        PumpPendingMessages();
        if (!Alive(window)) return;
        plat::Sleep(delay);
    }
    if (!shown) plat::ShowWindow(window, plat::SW_SHOWNORMAL);
    m_animating = false;
    if (!was_layered) {
        plat::SetWindowLongPtr(window, plat::GWL_EXSTYLE, ex_style);
    }
    RedrawWholeNow();
    if (!Alive(window)) return;
    if (!was_layered) plat::InvalidateRect(window, nullptr, 0);
}

void ExHostWindow::Show(int animation, int duration_ms,
                        const std::function<void()>& after_first_frame) {
    if (m_window == nullptr) return;
    const plat::HWND window = m_window;
    PumpPendingMessages();
    if (!Alive(window)) return;
    bool ran = false;
    const std::function<void()> once = [&] {
        ran = true;
        if (after_first_frame) after_first_frame();
    };
    if (animation != kAnimationNone) {
        RunShowAnimation(animation, duration_ms, once);
    } else {
        plat::ShowWindow(window, plat::SW_SHOWNORMAL);
    }
    // No animation, or none that could draw a frame.
    if (!ran && Alive(window)) once();
}

void ExHostWindow::RunCloseAnimation() {
    struct Plan {
        int frames;
        plat::DWORD delay;
        int alpha_step;
    };
    Plan plan{};
    switch (m_close_animation) {
        case kAnimationFade:
        case kAnimationCentre:
            plan = {15, 10, 17};
            break;
        case kAnimationZoom:
            plan = {20, 10, 12};
            break;
        case kAnimationSlideDown:
        case kAnimationSlideUp:
            plan = {15, 8, 17};
            break;
        default:
            return;
    }
    if (m_back_buffer == nullptr || m_window == nullptr) return;
    const plat::HWND window = m_window;
    std::unique_ptr<ExCanvas> snapshot = m_back_buffer->Clone();
    std::unique_ptr<ExCanvas> frame = CreateCanvas(m_width, m_height);
    if (snapshot == nullptr || frame == nullptr) return;
    const auto ex_style = plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE);
    if (!(ex_style & static_cast<plat::LONG_PTR>(plat::WS_EX_LAYERED))) {
        plat::SetWindowLongPtr(window, plat::GWL_EXSTYLE,
                               ex_style | static_cast<plat::LONG_PTR>(plat::WS_EX_LAYERED));
    }
    m_animating = true;
    const auto width = float(m_width);
    const auto height = float(m_height);
    for (int step = 1; step <= plan.frames; ++step) {
        frame->Clear(0);
        RectF dest;
        if (m_close_animation == kAnimationZoom) {
            const float grow = 1.5f * float(step);
            dest = RectF{-grow, -grow, width + 2 * grow, height + 2 * grow};
        } else {
            dest = AnimationRect(m_close_animation, float(step) / float(plan.frames), width, height,
                                 true);
        }
        frame->DrawImage(*snapshot, dest);
        PushAnimationFrame(*frame, 255 - plan.alpha_step * step);
        PumpPendingMessages();
        if (!Alive(window)) return;
        plat::Sleep(plan.delay);
    }
    frame->Clear(0);
    PushAnimationFrame(*frame, 0);
    m_animating = false;
    if (!m_redraw_queue.Empty() || !m_dirty_controls.empty()) RequestFrame();
}

}  // namespace dui

#include "dui/controls/toggle_button.h"

#include "dui/core/canvas.h"
#include "dui/core/host_window.h"
#include "dui/core/messages.h"

namespace dui {
namespace {

// Sizes of the rounded face: the fill's clip, the outer and inner border
// and the focus frame.
constexpr float kClipDiameter = 11;
constexpr float kOuterDiameter = 6;
constexpr float kInnerDiameter = 4;

struct ToggleFace {
    int gradient_top;
    int gradient_bottom;
};
constexpr ToggleFace kRaised{102, 10};   // hovered, or checked
constexpr ToggleFace kPressed{10, 120};
constexpr Argb kWhite = 0xFFFFFF;

}  // namespace

ExToggleButton::~ExToggleButton() { Destroy(); }

bool ExToggleButton::Checked(bool value, Repaint repaint) {
    if (value == m_checked) return m_checked;
    m_checked = value;
    if (repaint == Repaint::Yes && GetHandle() != ControlHandle::None) Invalidate();
    return m_checked;
}

int ExToggleButton::FaceHook(ExCanvas& canvas, int state) {
    if (state < kStateNormal || state > kStateFocused) return 1;   // disabled: no face
    const bool resting = state == kStateNormal || state == kStateFocused;
    const ExHostWindow* host = Host();
    const bool focused = host != nullptr && host->FocusedControl() == GetHandle();
    const bool rounded = CornerStyle() != 0;
    const auto width = static_cast<float>(canvas.Width());
    const auto height = static_cast<float>(canvas.Height());
    const RectF outer{0, 0, width, height};
    const RectF inner = OffsetRect(outer, 1, 1, -2, -2);
    const RectF focus_frame = OffsetRect(outer, 2, 2, -4, -4);

    auto frame = [&](const RectF& rect, float diameter, Argb argb) {
        if (rounded) {
            canvas.DrawRoundRect(rect, diameter, argb);
        } else {
            canvas.DrawBorder(rect, kBorderSolid, argb);
        }
    };

    if (!resting || m_checked) {
        const ToggleFace& face = state == kStatePressed ? kPressed : kRaised;
        if (rounded) canvas.SetClipPath(RoundRectPath(outer, kClipDiameter));
        canvas.FillGradient(outer, MakeArgb(kWhite, face.gradient_top), MakeArgb(kWhite, face.gradient_bottom),
                            GradientMode::Vertical);
        if (rounded) canvas.ResetClip();
        frame(outer, kOuterDiameter, MakeArgb(0, 80));
        frame(inner, kInnerDiameter, MakeArgb(kWhite, 81));
    }
    if (focused) frame(focus_frame, kInnerDiameter, MakeArgb(0, 190));
    return 1;
}

intptr_t ExToggleButton::PreHook(uint32_t message, uintptr_t, intptr_t) {
    switch (message) {
        case plat::WM_CREATE: SetKind(ControlKind::ToggleButton); break;
        case plat::WM_DESTROY: m_checked = false; break;
        case EX_MSG_SETFOCUS:
        case EX_MSG_KILLFOCUS: return 0;
        default: break;
    }
    return kNotHandled;
}

}  // namespace dui

#include "dui/controls/toggle_button.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dui/core/canvas.h"
#include "util/gbk_text.h"
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

// The badge: a pill of the badge font's line height, at least as wide as
// high, kBadgeInset from the top and right edges.
constexpr float kBadgeFontSize = 9;
constexpr float kBadgeInset = 1;
constexpr float kBadgePadding = 3;
constexpr size_t kBadgeMaxBytes = 6;
constexpr Argb kBadgeCountFill = ArgbOf(230, 0, 120, 215);
constexpr Argb kBadgeFailureFill = ArgbOf(240, 220, 30, 30);
constexpr Argb kBadgeText = ArgbOf(254, 255, 255, 255);

}  // namespace

ExToggleButton::~ExToggleButton() { Destroy(); }

bool ExToggleButton::Checked(bool value, Repaint repaint) {
    if (value == m_checked) return m_checked;
    m_checked = value;
    if (repaint == Repaint::Yes && GetHandle() != ControlHandle::None) Invalidate();
    return m_checked;
}

const std::string& ExToggleButton::Badge(std::string text) {
    text = std::string(util::GbkPrefix(text, kBadgeMaxBytes));
    if (text == m_badge) return m_badge;
    m_badge = std::move(text);
    if (!m_badge.empty() && !m_badge_font) {
        m_badge_font = CreateFont(DefaultFont().Family(), kBadgeFontSize, kFontBold);
    }
    if (GetHandle() != ControlHandle::None) Invalidate();
    return m_badge;
}

void ExToggleButton::OverlayHook(ExCanvas& canvas, int) {
    if (m_badge.empty() || !m_badge_font) return;
    dui::StringFormat format(kFormatNoWrap | kFormatNoClip);
    format.alignment = StringAlignment::Center;
    format.line_alignment = StringAlignment::Center;
    const RectF measured = MeasureString(m_badge, *m_badge_font, RectF{0, 0, 0, 0}, format);
    const float height = static_cast<float>(std::max(1, m_badge_font->Height()));
    const float width = std::max(height, std::ceil(measured.width) + 2 * kBadgePadding);
    const RectF pill{static_cast<float>(canvas.Width()) - kBadgeInset - width, kBadgeInset, width, height};
    const bool failure = m_badge == kBadgeFailure;
    canvas.FillRoundRect(pill, height, failure ? kBadgeFailureFill : kBadgeCountFill);
    canvas.DrawText(pill, m_badge, *m_badge_font, kBadgeText, format);
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
        case plat::WM_DESTROY:
            m_checked = false;
            m_badge.clear();
            break;
        case EX_MSG_SETFOCUS:
        case EX_MSG_KILLFOCUS: return 0;
        default: break;
    }
    return kNotHandled;
}

}  // namespace dui

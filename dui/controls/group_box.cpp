#include "dui/controls/group_box.h"

#include <cmath>
#include <utility>

#include "dui/core/host_window.h"
#include "dui/core/messages.h"

namespace dui {
namespace {

constexpr float kFrameDiameter = 6;
constexpr float kCaptionIndent = 8;
// The frame line leaves this much room on each side of the caption.
constexpr float kCaptionGap = 2;

dui::StringFormat CaptionFormat() {
    dui::StringFormat format(kFormatNoWrap);
    format.alignment = StringAlignment::Near;
    format.trimming = StringTrimming::EllipsisCharacter;
    format.hotkey_prefix = HotkeyPrefix::None;
    return format;
}

}  // namespace

ExGroupBox::~ExGroupBox() { Destroy(); }

ControlHandle ExGroupBox::CreateGroupBox(ControlParent parent, float left, float top, float width,
                                         float height, GroupBoxOptions options) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_caption = std::move(options.caption);
    m_style = {};
    m_style.colour = options.caption_colour.value_or(MakeArgb(0, 210));
    SetFontFromArguments(options.font_name, options.font_size, options.font_style);
    m_style.format = CaptionFormat();
    m_style.effect = options.text_effect;
    m_style.glow_colour = options.glow_colour;
    m_caption_align = options.caption_align;
    m_fill_colour = options.fill_colour;
    m_frame_colour = options.frame_colour.value_or(MakeArgb(0, 80));
    m_rounded = options.rounded ? *options.rounded : ParentFrameStyle(parent) != 0;
    return Create(parent, RectF{left, top, width, height}, ControlKind::GroupBox, true, false);
}

intptr_t ExGroupBox::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case plat::WM_CREATE: MeasureCaption(); break;
        case plat::WM_PAINT: PaintFrame(); break;
        case plat::WM_DESTROY:
            m_style = {};
            m_caption.clear();
            break;
        default: return ExControl::OnMessage(message, wparam, lparam);
    }
    return kNotHandled;
}

void ExGroupBox::OnSized(float, float) { MeasureCaption(); }

void ExGroupBox::MeasureCaption() {
    if (m_caption.empty()) {
        m_caption_width = 0;
        m_caption_height = 0;
        return;
    }
    const RectF layout{0, 0, std::max(1.0f, Bounds().width - 16), static_cast<float>(m_style.font.Height()) * 2};
    const RectF measured = MeasureStyledText(m_caption, m_style, layout);
    m_caption_width = static_cast<int>(std::ceil(measured.width));
    m_caption_height = static_cast<int>(std::ceil(measured.height));
}

void ExGroupBox::PaintFrame() {
    ExCanvas* canvas = BeginPaint();
    if (canvas == nullptr) return;
    const auto width = static_cast<float>(canvas->Width());
    const auto height = static_cast<float>(canvas->Height());
    const float half_caption = static_cast<float>(m_caption_height) / 2;
    const RectF frame{1, half_caption + 1, width - 2, height - 2 - half_caption};
    const auto caption_width = static_cast<float>(m_caption_width);

    // The caption gets its whole measured width: a pixel less makes the
    // trimming cut every caption.
    RectF caption{kCaptionIndent, 2, caption_width, static_cast<float>(m_caption_height)};
    switch (m_caption_align) {
        case kCaptionCentre: caption.left = (frame.width - 14 - caption_width) / 2 + kCaptionIndent; break;
        case kCaptionRight: caption.left = frame.width - kCaptionIndent - caption_width; break;
        default: break;
    }

    const Path outline = m_rounded ? RoundRectPath(frame, kFrameDiameter) : [&] {
        Path path;
        path.AddRect(frame);
        return path;
    }();
    if (m_fill_colour != 0) canvas->FillPath(outline, m_fill_colour);
    if (!m_caption.empty()) {
        // Everything but the caption's stretch of the top edge.
        Path around(Path::FillMode::Alternate);
        around.AddRect(RectF{0, 0, width, height});
        around.AddRect(OffsetRect(caption, -kCaptionGap, -2, 2 * kCaptionGap, 0));
        canvas->SaveClip();
        canvas->SetClipPath(around, CombineMode::Intersect);
        canvas->DrawPath(outline, m_frame_colour);
        canvas->RestoreClip();
        DrawStyledText(*canvas, caption, m_caption, m_style, *this);
    } else {
        canvas->DrawPath(outline, m_frame_colour);
    }
    EndPaint();
}

void ExGroupBox::Repaint() {
    if (GetHandle() != ControlHandle::None) Invalidate();
}

void ExGroupBox::TextStyleChanged(bool) { Repaint(); }

const std::string& ExGroupBox::Caption(std::string_view text) {
    m_caption.assign(text);
    MeasureCaption();
    Repaint();
    return m_caption;
}

Argb ExGroupBox::CaptionColour(Argb value) {
    m_style.colour = value;
    Repaint();
    return m_style.colour;
}

int ExGroupBox::CaptionAlign(int value) {
    m_caption_align = value;
    Repaint();
    return m_caption_align;
}

Argb ExGroupBox::FillColour(Argb value) {
    m_fill_colour = value;
    Repaint();
    return m_fill_colour;
}

Argb ExGroupBox::FrameColour(Argb value) {
    m_frame_colour = value;
    Repaint();
    return m_frame_colour;
}

bool ExGroupBox::Rounded(bool value) {
    m_rounded = value;
    Repaint();
    return m_rounded;
}

}  // namespace dui

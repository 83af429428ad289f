#include "dui/controls/label.h"

#include <cmath>
#include <utility>

#include "dui/core/host_window.h"
#include "dui/core/messages.h"

namespace dui {
namespace {

constexpr float kTextInset = 2;

bool IsGradientMode(int direction) {
    return direction >= static_cast<int>(GradientMode::Horizontal) &&
           direction <= static_cast<int>(GradientMode::BackwardDiagonal);
}

int RoundToInt(float value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::lround(value));
}

}  // namespace

ExLabel::~ExLabel() { Destroy(); }

ControlHandle ExLabel::CreateLabel(ControlParent parent, float left, float top, float width,
                                   float height, LabelOptions options) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_text = std::move(options.text);
    m_style.colour = options.text_colour.value_or(dui::TextStyle::kDefaultTextColour);
    m_gradient_direction = options.gradient_direction;
    m_gradient_colour1 = options.gradient_colour1;
    m_gradient_colour2 = options.gradient_colour2;
    m_word_wrap = options.word_wrap;
    m_style.auto_contrast = options.auto_contrast;
    SetFontFromArguments(options.font_name, options.font_size, options.font_style);
    m_style.format = dui::StringFormat(m_word_wrap ? kLabelWrappedFlags : kLabelSingleLineFlags);
    m_style.format.alignment = options.alignment;
    m_vertical_alignment = options.line_alignment;
    m_style.effect = options.text_effect;
    m_style.glow_colour = options.glow_colour;
    m_border = options.border;
    const ControlHandle handle = Create(parent, RectF{left, top, width, height},
                                        ControlKind::Label, options.visible, false);
    if (handle == ControlHandle::None) {
        ReleaseFont();
        m_text.clear();
    }
    return handle;
}

intptr_t ExLabel::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    const ControlHandle self = GetHandle();
    const intptr_t answer = PreHook(message, wparam, lparam);
    if (answer != kNotHandled) return answer;
    if (self == ControlHandle::None || ResolveControl(self) != this) return kNotHandled;

    switch (message) {
        case plat::WM_CREATE:
            Measure();
            CreateHook();
            break;
        case plat::WM_DESTROY:
            m_text.clear();
            m_style = {};
            break;
        case plat::WM_PAINT:
            Paint();
            break;
        case plat::WM_TIMER:
            FadeTick();
            break;
        case EX_MSG_REPAINTSTATE:
            if (m_style.auto_contrast) Paint();
            break;
        default:
            return ExControl::OnMessage(message, wparam, lparam);
    }
    return kNotHandled;
}

void ExLabel::OnFocusIn(ControlHandle) {
    if (Focusable()) Paint();
}

void ExLabel::OnFocusOut(ControlHandle) {
    if (Focusable()) Paint();
}

void ExLabel::OnSized(float, float) { Measure(); }

void ExLabel::TextRectHook(ExCanvas&, RectF&) {}

intptr_t ExLabel::PreHook(uint32_t, uintptr_t, intptr_t) { return kNotHandled; }

void ExLabel::CreateHook() {}

void ExLabel::Measure() {
    RectF box{};  // wrapped text: no layout limit
    if (!m_word_wrap) {
        box = {0, 0, Bounds().width, static_cast<float>(m_style.font.Height())};
    }
    const RectF measured = MeasureStyledText(m_text, m_style, box);
    m_measured_width = RoundToInt(measured.width);
    m_measured_height = RoundToInt(measured.height);
}

void ExLabel::Paint() {
    if (GetHandle() == ControlHandle::None) return;
    ExCanvas* canvas = BeginPaint();
    if (canvas == nullptr) return;
    canvas->ResetClip();
    const auto width = static_cast<float>(canvas->Width());
    const auto height = static_cast<float>(canvas->Height());
    const RectF whole{0, 0, width, height};

    // The background goes first so that it cannot cover the border.
    if (IsGradientMode(m_gradient_direction)) {
        canvas->FillGradient(whole, m_gradient_colour1, m_gradient_colour2,
                             static_cast<GradientMode>(m_gradient_direction));
    }
    if (m_border != kBorderNone) canvas->DrawBorder(whole, m_border);

    if (!m_text.empty()) {
        RectF text_rect = OffsetRect(whole, kTextInset, kTextInset, -2 * kTextInset,
                                     -2 * kTextInset);
        canvas->SetClipRect(text_rect);
        if (m_word_wrap) {
            // Taller than the canvas, so a last partial line is cut by the
            // clip instead of being dropped by the layout.
            text_rect.height = height + static_cast<float>(m_style.font.Height()) + 3;
        } else {
            const auto measured = static_cast<float>(m_measured_height);
            switch (m_vertical_alignment) {
                case kLabelCentre:
                    text_rect.top += std::floor((text_rect.height - measured) / 2);
                    break;
                case kLabelBottom:
                    text_rect.top = text_rect.Bottom() - measured - kTextInset;
                    break;
                case kLabelTop:
                default:
                    text_rect.top += kTextInset;
                    break;
            }
            text_rect.height = measured;
        }
        TextRectHook(*canvas, text_rect);
        DrawStyledText(*canvas, text_rect, m_text, m_style, *this);
    }

    canvas->ResetClip();
    if (Host() != nullptr && Host()->KeyboardFocusMarker() == GetHandle()) {
        canvas->DrawBorder(whole, kBorderDashed);
    }
    EndPaint();
}

// ---------------------------------------------------------------------------
// Accessors

void ExLabel::TextStyleChanged(bool layout) {
    if (layout) Measure();
    Invalidate();
}

const std::string& ExLabel::LabelText(std::string_view text) {
    m_text.assign(text);
    Measure();
    Invalidate();
    return m_text;
}

Argb ExLabel::GradientColour1(Argb value) {
    m_gradient_colour1 = value;
    Invalidate();
    return m_gradient_colour1;
}

Argb ExLabel::GradientColour2(Argb value) {
    m_gradient_colour2 = value;
    Invalidate();
    return m_gradient_colour2;
}

int ExLabel::GradientDirection(int value) {
    m_gradient_direction = value;
    Invalidate();
    return m_gradient_direction;
}

StringTrimming ExLabel::Trimming(StringTrimming value) {
    m_style.format.trimming = value;
    Invalidate();
    return m_style.format.trimming;
}

uint32_t ExLabel::FormatFlags(uint32_t flags) {
    m_style.format.flags = flags;
    Measure();
    Invalidate();
    return m_style.format.flags;
}

StringAlignment ExLabel::Alignment(StringAlignment value) {
    m_style.format.alignment = value;
    Invalidate();
    return m_style.format.alignment;
}

bool ExLabel::WordWrap(bool value) {
    m_word_wrap = value;
    m_style.format.flags = value ? kLabelWrappedFlags : kLabelSingleLineFlags;
    Measure();
    Invalidate();
    return m_word_wrap;
}

int ExLabel::VerticalAlignment(int value) {
    m_vertical_alignment = value;
    Invalidate();
    return m_vertical_alignment;
}

int64_t ExLabel::Border(int64_t style) {
    m_border = style;
    Invalidate();
    return m_border;
}

}  // namespace dui

#include "dui/controls/text_control.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "dui/core/host_window.h"
#include "dui/core/image.h"
#include "dui/core/messages.h"

namespace dui {
namespace {

constexpr int kFadeInterval = 60;

// Start alphas of the cross-fade per change of look.
constexpr int kFadeEnterLeave = 51;
constexpr int kFadeLostFocus = 102;
constexpr int kFadePress = 153;
constexpr int kFadeGotFocus = 204;
constexpr int kNoFade = 255;

// One row of the face colour table: face fill, gradient top, gradient bottom,
// outer border, inner border, separator line. The gradient takes its RGB
// from the host's background colour.
struct FaceColours {
    std::array<uint32_t, 6> rgb;
    std::array<int, 6> alpha;
};

constexpr std::array<FaceColours, 4> kFaceColours{{
    {{0xECECEC, 0, 0, 0, 0xFFFFFF, 0}, {204, 0, 102, 80, 51, 25}},         // normal
    {{0xECECEC, 0, 0, 0, 0xFFFFFF, 0}, {204, 21, 153, 70, 51, 30}},        // mouse over
    {{0xECECEC, 0, 0xECECEC, 0, 0xFFFFFF, 0}, {204, 153, 21, 70, 51, 10}},  // pressed
    {{0xECECEC, 0, 0, 0, 0xFFFFFF, 0}, {204, 51, 153, 80, 61, 25}},        // focused
}};
constexpr FaceColours kDisabledColours{{0xFFFFFF, 0, 0, 0, 0xFFFFFF, 0}, {51, 51, 51, 35, 30, 0}};

const FaceColours& ColoursFor(int state) {
    if (state >= 0 && state < static_cast<int>(kFaceColours.size())) {
        return kFaceColours[static_cast<size_t>(state)];
    }
    return kDisabledColours;
}

// The caption's format: one line, left and top, the hotkey letter underlined.
dui::StringFormat CaptionFormat() {
    dui::StringFormat format(kFormatNoWrap);
    format.alignment = StringAlignment::Near;
    format.line_alignment = StringAlignment::Near;
    format.hotkey_prefix = HotkeyPrefix::Show;
    return format;
}

struct IconTextLayout {
    RectF icon;
    RectF text;
};

// Places icon and caption in the content rectangle `c` (see IconPlacement).
IconTextLayout LayOut(int position, const RectF& c, float iw, float ih, float tw, float th,
                      float ox, float oy, float gp) {
    IconTextLayout out;
    const float x = c.left, y = c.top, w = c.width, h = c.height;
    const float text_w = tw + 2, text_h = th + 2;
    const float centred_text_y = oy + y + (h - th) / 2;
    const float centred_icon_y = oy + y + (h - ih) / 2;
    switch (position) {
        case kIconRightOfText: {
            const float tx = ox + x + (w - (iw + gp + tw)) / 2;
            out.text = {tx, centred_text_y, text_w, text_h};
            out.icon = {tx + tw + gp, centred_icon_y, iw, ih};
            break;
        }
        case kIconAboveText: {
            const float iy = oy + y + (h - ih - gp - th) / 2;
            out.icon = {ox + x + (w - iw) / 2, iy, iw, ih};
            out.text = {ox + x + (w - tw) / 2, iy + ih + gp, text_w, text_h};
            break;
        }
        case kIconBehindText:
            out.icon = {ox + x + (w - iw) / 2, centred_icon_y, iw, ih};
            out.text = {ox + x + (w - tw) / 2, centred_text_y, text_w, text_h};
            break;
        case kIconAtLeftEdge:
            out.icon = {ox + x, centred_icon_y, iw, ih};
            out.text = {ox + x + iw + gp, centred_text_y, w - iw - gp - ox, text_h};
            break;
        case kIconTextAtLeftEdge: {
            const float width = w - iw - gp - ox;
            out.text = {ox + x, centred_text_y, width, text_h};
            out.icon = {ox + x + width + gp, centred_icon_y, iw, ih};
            break;
        }
        case kIconAtTop:
            out.icon = {ox + x + (w - iw) / 2, oy + y, iw, ih};
            out.text = {ox + x + (w - tw) / 2, oy + y + ih + gp, tw + 5, text_h};
            break;
        case kIconLeftOfText:
        default: {
            const float ix = ox + x + (w - (iw + gp + tw)) / 2;
            out.icon = {ix, centred_icon_y, iw, ih};
            out.text = {ix + iw + gp, centred_text_y, text_w, text_h};
            break;
        }
    }
    // Icons sit on whole pixels so they stay sharp.
    out.icon.left = std::floor(out.icon.left);
    out.icon.top = std::floor(out.icon.top);
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared helpers

uint32_t HotkeyCharacter(std::string_view caption) {
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (i + 1 >= caption.size()) return 0;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        // Only a character a key can type is a hotkey; the lead byte of a
        // double-byte character marks none.
        const auto character = static_cast<unsigned char>(caption[i + 1]);
        return character >= 0x20 && character < 0x7F ? character : 0;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Creation and messages

ExTextControl::~ExTextControl() { Destroy(); }

ControlHandle ExTextControl::CreateTextControl(ControlParent parent, float left, float top,
                                               float width, float height, std::string caption,
                                               TextControlOptions options) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_style.colour = options.text_colour.value_or(dui::TextStyle::kDefaultTextColour);
    SetFontFromArguments(options.font_name, options.font_size, options.font_style);
    m_style.format = CaptionFormat();
    m_caption = std::move(caption);
    m_style.effect = options.text_effect;
    m_style.glow_colour = options.glow_colour;
    m_state = kStateNormal;
    m_corner_style = options.corner_style ? *options.corner_style : ParentFrameStyle(parent);
    const ControlHandle handle = Create(parent, RectF{left, top, width, height},
                                        ControlKind::TextControl, options.visible, true, std::nullopt,
                                        kFadeInterval);
    if (handle == ControlHandle::None) {
        ReleaseFont();
        m_caption.clear();
    }
    return handle;
}

intptr_t ExTextControl::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    const ControlHandle self = GetHandle();
    const intptr_t answer = PreHook(message, wparam, lparam);
    if (answer != kNotHandled) return answer;
    if (self == ControlHandle::None || ResolveControl(self) != this) return kNotHandled;

    switch (message) {
        case plat::WM_CREATE:
            RegisterHotkey();
            break;
        case plat::WM_DESTROY:
            m_style = {};
            m_caption.clear();
            m_icon_data.clear();
            FreeImage(m_icon);
            break;
        case plat::WM_PAINT:
        case EX_MSG_REPAINTSTATE:
            PaintState(m_state, kNoFade);
            break;
        case plat::WM_TIMER:
            FadeTick();
            break;
        case EX_MSG_MOUSEENTER:
            PaintState(kStateHover, kFadeEnterLeave);
            break;
        case EX_MSG_MOUSELEAVE:
            PaintState(kStateNormal, kFadeEnterLeave);
            break;
        case EX_MSG_ENABLECHANGED:
            // The disabled colours, at the opacity the default gives a
            // disabled control; the new look is painted with the next frame.
            m_state = lparam != 0 ? kStateDisabled : kStateNormal;
            break;
        default:
            return ExControl::OnMessage(message, wparam, lparam);
    }
    return kNotHandled;
}

intptr_t ExTextControl::OnPointerDown(const PointerEvent& event) {
    if (event.button == PointerButton::Left && Focusable()) PaintState(kStatePressed, kFadePress);
    return kNotHandled;
}

intptr_t ExTextControl::OnPointerUp(const PointerEvent& event) {
    if (event.button == PointerButton::Left && Focusable()) PaintState(kStateHover, kFadePress);
    return kNotHandled;
}

void ExTextControl::OnFocusIn(ControlHandle) { PaintState(kStateFocused, kFadeGotFocus); }

void ExTextControl::OnFocusOut(ControlHandle) { PaintState(kStateNormal, kFadeLostFocus); }

void ExTextControl::RegisterHotkey() {
    if (GetHandle() == ControlHandle::None || GetHostHandle() == nullptr) return;
    plat::SendMessage(GetHostHandle(), EX_MSG_HOTKEY, Raw(GetHandle()),
                      static_cast<intptr_t>(HotkeyCharacter(m_caption)));
}

int ExTextControl::FaceHook(ExCanvas&, int) { return 0; }

int ExTextControl::TextHook(ExCanvas&, int, RectF&, RectF&) { return 0; }

intptr_t ExTextControl::PreHook(uint32_t, uintptr_t, intptr_t) { return kNotHandled; }

void ExTextControl::OverlayHook(ExCanvas&, int) {}

// ---------------------------------------------------------------------------
// Accessors

void ExTextControl::TextStyleChanged(bool) { Invalidate(); }

std::string ExTextControl::Caption(std::string text) {
    m_caption = std::move(text);
    RegisterHotkey();
    Invalidate();
    return m_caption;
}

int ExTextControl::CornerStyle(int value) {
    m_corner_style = value;
    Invalidate();
    return m_corner_style;
}

const std::string& ExTextControl::IconData(std::string_view bytes) {
    m_icon_data.assign(bytes);
    FreeImage(m_icon);
    if (!m_icon_data.empty()) m_icon = LoadImageFromBytes(m_icon_data, false);
    Invalidate();
    return m_icon_data;
}

int ExTextControl::IconPosition(int value) {
    m_icon_position = value;
    Invalidate();
    return m_icon_position;
}

int ExTextControl::OffsetX(int value) {
    m_offset_x = value;
    Invalidate();
    return m_offset_x;
}

int ExTextControl::OffsetY(int value) {
    m_offset_y = value;
    Invalidate();
    return m_offset_y;
}

int ExTextControl::Gap(int value) {
    m_gap = value;
    Invalidate();
    return m_gap;
}

// ---------------------------------------------------------------------------
// Painting

void ExTextControl::PaintState(int state, int start_alpha) {
    if (GetHandle() == ControlHandle::None) return;
    m_state = state;
    FadeAlpha(start_alpha);
    ExCanvas* canvas = BeginPaint();
    if (canvas == nullptr) return;
    canvas->ResetClip();
    const auto width = static_cast<float>(canvas->Width());
    const auto height = static_cast<float>(canvas->Height());
    RectF content{0, 0, width, height};

    if (FaceHook(*canvas, state) == 0) DrawDefaultFace(*canvas, state);

    content = OffsetRect(content, 1, 1, -2, -2);
    canvas->SetClipRect(content);

    const RectF measured = MeasureStyledText(m_caption, m_style, content);
    const float iw = m_icon ? static_cast<float>(m_icon->Width()) : 0.0f;
    const float ih = m_icon ? static_cast<float>(m_icon->Height()) : 0.0f;
    IconTextLayout layout =
        LayOut(m_icon_position, content, iw, ih, measured.width, measured.height,
               static_cast<float>(m_offset_x), static_cast<float>(m_offset_y),
               static_cast<float>(m_gap));
    if (state == kStatePressed) {
        layout.icon = OffsetRect(layout.icon, 1, 1);
        layout.text = OffsetRect(layout.text, 1, 1);
    }
    const int text_answer = TextHook(*canvas, state, layout.text, layout.icon);

    if (m_icon) canvas->DrawImageNatural(*m_icon, layout.icon, true);
    DrawStyledText(*canvas, layout.text, m_caption, m_style, *this);

    canvas->ResetClip();
    if (text_answer == 0 && Host() != nullptr && Host()->KeyboardFocusMarker() == GetHandle()) {
        canvas->DrawBorder(OffsetRect(content, 2, 2, -4, -5), kBorderDashed);
    }
    OverlayHook(*canvas, state);
    EndPaint();
}

void ExTextControl::DrawDefaultFace(ExCanvas& canvas, int state) {
    const FaceColours& colours = ColoursFor(state);
    auto entry = [&](size_t i) { return MakeArgb(colours.rgb[i], colours.alpha[i]); };
    // Without a background colour the gradient is white, as the colour's
    // bits all set would give.
    const int32_t background = Host() != nullptr ? Host()->BackgroundColour() : -1;
    const auto background_rgb = static_cast<uint32_t>(background) & 0xFFFFFFu;

    const auto width = static_cast<float>(canvas.Width());
    const auto height = static_cast<float>(canvas.Height());
    const RectF content{0, 0, width, height};
    RectF face{0, 0, width, height - 1};
    const bool rounded = m_corner_style != 0;
    if (rounded) canvas.SetClipPath(RoundRectPath(content, 4));

    canvas.FillRoundRect(face, 3, entry(0));
    canvas.FillGradient(face, MakeArgb(background_rgb, colours.alpha[1]),
                        MakeArgb(background_rgb, colours.alpha[2]), GradientMode::Vertical);
    if (rounded) {
        canvas.ResetClip();
        canvas.DrawRoundRect(face, 3, entry(3));
        face = OffsetRect(face, 1, 1, -2, -2);
        canvas.DrawRoundRect(face, 3, entry(4));
    } else {
        canvas.DrawBorder(face, kBorderSolid, entry(3));
        face = OffsetRect(face, 1, 1, -2, -2);
        canvas.DrawBorder(face, kBorderSolid, entry(4));
    }
    canvas.DrawLine(1, height - 1, width - 2, height - 1, entry(5));
}

}  // namespace dui

#include "dui/controls/image_button.h"

#include <algorithm>

#include "dui/core/canvas.h"
#include "dui/core/messages.h"

namespace dui {
namespace {

// The signature every PNG starts with; skin pictures may come without it.
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

std::optional<ExImage> Decode(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    if (auto image = LoadImageFromBytes(bytes, false)) return image;
    if (!bytes.starts_with(kPngSignature)) return LoadImageFromBytes(bytes, true);
    return std::nullopt;
}

}  // namespace

void ExImageButton::Picture::Set(std::string_view new_bytes) {
    bytes.assign(new_bytes);
    image = Decode(bytes);
}

void ExImageButton::Picture::Clear() {
    bytes.clear();
    image.reset();
}

ExImageButton::~ExImageButton() { Destroy(); }

void ExImageButton::Repaint() {
    if (GetHandle() != ControlHandle::None) Invalidate();
}

void ExImageButton::SetImages(std::optional<std::string_view> normal, std::optional<std::string_view> hover,
                              std::optional<std::string_view> pressed, std::optional<int> draw_mode,
                              std::optional<Margins> grid_margins) {
    if (normal) m_normal.Set(*normal);
    if (hover) m_hover.Set(*hover);
    if (pressed) m_pressed.Set(*pressed);
    if (draw_mode) m_draw_mode = *draw_mode;
    if (grid_margins) m_grid_margins = *grid_margins;
    Repaint();
}

const std::string& ExImageButton::NormalImage(std::string_view bytes) {
    m_normal.Set(bytes);
    Repaint();
    return m_normal.bytes;
}

const std::string& ExImageButton::HoverImage(std::string_view bytes) {
    m_hover.Set(bytes);
    Repaint();
    return m_hover.bytes;
}

const std::string& ExImageButton::PressedImage(std::string_view bytes) {
    m_pressed.Set(bytes);
    Repaint();
    return m_pressed.bytes;
}

int ExImageButton::DrawMode(int mode) {
    if (mode != m_draw_mode) {
        m_draw_mode = mode;
        Repaint();
    }
    return m_draw_mode;
}

const Margins& ExImageButton::GridMargins(const Margins& margins) {
    if (margins != m_grid_margins) {
        m_grid_margins = margins;
        if (m_draw_mode == kImageNineGrid) Repaint();
    }
    return m_grid_margins;
}

const ExImageButton::Picture& ExImageButton::PictureFor(int state) const {
    switch (state) {
        case kStateHover:
        case kStateFocused: return m_hover;
        case kStatePressed: return m_pressed;
        default: return m_normal;
    }
}

int ExImageButton::FaceHook(ExCanvas& canvas, int state) {
    if (state < kStateNormal || state > kStateFocused) return 1;   // disabled: no picture
    const Picture& picture = PictureFor(state);
    if (!picture.image) return 1;
    const RectF whole{0, 0, static_cast<float>(canvas.Width()), static_cast<float>(canvas.Height())};
    switch (m_draw_mode) {
        case kImageNatural: canvas.DrawImageNatural(*picture.image, whole, false); break;
        case kImageStretched: canvas.DrawImage(*picture.image, whole); break;
        case kImageNineGrid: {
            // Margins never go negative; the canvas scales down margins that
            // do not fit the picture or the button.
            Margins margins = m_grid_margins;
            margins.left = std::max(0.0f, margins.left);
            margins.top = std::max(0.0f, margins.top);
            margins.right = std::max(0.0f, margins.right);
            margins.bottom = std::max(0.0f, margins.bottom);
            canvas.DrawImageNineGrid(*picture.image, whole, margins);
            break;
        }
        default: break;
    }
    return 1;
}

int ExImageButton::TextHook(ExCanvas&, int, RectF&, RectF&) { return 1; }

intptr_t ExImageButton::PreHook(uint32_t message, uintptr_t, intptr_t) {
    switch (message) {
        case plat::WM_CREATE: SetKind(ControlKind::ImageButton); break;
        case plat::WM_DESTROY:
            m_normal.Clear();
            m_hover.Clear();
            m_pressed.Clear();
            break;
        case EX_MSG_SETFOCUS:
        case EX_MSG_KILLFOCUS: return 0;
        default: break;
    }
    return kNotHandled;
}

}  // namespace dui

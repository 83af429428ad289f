#include "dui/core/picture.h"

#include <algorithm>

#include "dui/core/canvas.h"
#include "dui/core/host_window.h"

namespace dui {
namespace {

// Delay used for frames the image gives no delay for, in hundredths.
constexpr int32_t kDefaultFrameDelay = 10;

}  // namespace

ExPicture::~ExPicture() { Destroy(); }

void ExPicture::LoadImage(std::string_view bytes, bool signature_stripped) {
    m_image = bytes.empty() ? std::nullopt : LoadImageFromBytes(bytes, signature_stripped);
    m_frame_count = m_image ? m_image->FrameCount() : 0;
    m_delays = m_image ? m_image->FrameDelays() : std::vector<int32_t>{};
    if (m_delays.empty() && m_image) m_delays = {kDefaultFrameDelay};
    if (m_zero_delay_fix) {
        std::replace(m_delays.begin(), m_delays.end(), int32_t{0}, kDefaultFrameDelay);
    }
    m_frame_index = 0;
}

void ExPicture::ReleaseImage() {
    FreeImage(m_image);
    m_frame_count = 0;
    m_delays.clear();
    m_image_data.clear();
}

ControlHandle ExPicture::CreateFromBytes(ControlParent parent, float left, float top, float width,
                                         float height, std::string_view image_bytes, bool playing,
                                         Argb back_colour, bool zero_delay_fix,
                                         PictureDrawMode draw_mode, int64_t border, bool visible) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_image_data.assign(image_bytes);
    m_zero_delay_fix = zero_delay_fix;
    LoadImage(m_image_data, false);
    m_playing = playing;
    m_back_colour = back_colour;
    m_draw_mode = draw_mode;
    m_border = border;
    const ControlHandle handle =
        Create(parent, RectF{left, top, width, height}, ControlKind::Picture, visible, true);
    if (handle == ControlHandle::None) ReleaseImage();
    return handle;
}

ControlHandle ExPicture::CreateFromIcon(ControlParent parent, float left, float top, float width,
                                        float height, plat::HICON icon, Argb back_colour,
                                        PictureDrawMode draw_mode, int64_t border, bool visible) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_image_data.clear();
    m_image = ImageFromIconHandle(icon);
    m_frame_count = 0;
    m_delays = {kDefaultFrameDelay};
    m_frame_index = 0;
    m_playing = false;
    m_back_colour = back_colour;
    m_draw_mode = draw_mode;
    m_border = border;
    const ControlHandle handle =
        Create(parent, RectF{left, top, width, height}, ControlKind::Picture, visible, true);
    if (handle == ControlHandle::None) ReleaseImage();
    return handle;
}

intptr_t ExPicture::OnMessage(uint32_t message, uintptr_t, intptr_t) {
    switch (message) {
        case plat::WM_PAINT:
        case EX_MSG_SHOWN:
            PaintFrame();
            break;
        case plat::WM_TIMER:
            if (m_playing && m_frame_count > 0) {
                PaintFrame();
            } else {
                KillTimer();
            }
            break;
        case plat::WM_DESTROY:
            if (m_playing) {
                KillTimer();
                m_playing = false;
                m_frame_index = 0;
            }
            ReleaseImage();
            break;
        default:
            break;
    }
    return kNotHandled;
}

bool ExPicture::Playing(bool value) {
    m_frame_index = 0;
    m_playing = value;
    PaintNow();
    return m_playing;
}

std::string ExPicture::ImageData(std::string_view bytes, bool repaint) {
    FreeImage(m_image);
    m_image_data.assign(bytes);
    LoadImage(m_image_data, false);
    if (repaint) PaintNow();
    return m_image_data;
}

Argb ExPicture::BackColour(Argb value) {
    m_back_colour = value;
    Invalidate();
    return m_back_colour;
}

void ExPicture::PaintFrame() {
    if (GetHandle() == ControlHandle::None) return;
    if (Disabled()) {
        ++m_frame_index;
        return;
    }
    if (m_frame_index >= m_frame_count || !m_playing) m_frame_index = 0;

    if (ExCanvas* canvas = BeginPaint()) {
        const RectF whole{0, 0, static_cast<float>(canvas->Width()),
                          static_cast<float>(canvas->Height())};
        if (m_image && m_frame_count > 0) m_image->SelectFrame(m_frame_index);
        if (m_back_colour != 0) canvas->FillRect(whole, m_back_colour);
        if (m_image) {
            switch (m_draw_mode) {
                case PictureDrawMode::Stretched:
                    canvas->DrawImage(*m_image, whole);
                    break;
                case PictureDrawMode::Centred:
                    canvas->DrawImageNatural(*m_image, whole, true);
                    break;
                case PictureDrawMode::TopLeft:
                    canvas->DrawImageNatural(*m_image, whole, false);
                    break;
            }
        }
        if (m_border != 0) canvas->DrawBorder(whole, m_border);
        if (Host() != nullptr && Host()->KeyboardFocusMarker() == GetHandle()) {
            canvas->DrawBorder(whole, kBorderDashed);
        }
        EndPaint();
    }

    if (m_frame_count > 0) {
        // The frame just shown stays for its own delay; frames without a
        // delay show for the default time, and the timer never runs faster
        // than every 10 ms.
        const auto shown = static_cast<size_t>(m_frame_index);
        KillTimer();
        ++m_frame_index;
        if (m_frame_index >= m_frame_count || !m_playing) m_frame_index = 0;
        const int32_t delay = shown < m_delays.size() ? m_delays[shown] : kDefaultFrameDelay;
        StartTimer(static_cast<unsigned>(std::clamp<int64_t>(int64_t{delay} * 10, 10, 600000)));
    } else {
        ++m_frame_index;
    }
}

std::optional<ExImage> ImageFromIconHandle(plat::HICON icon) {
    const uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    if (!plat::GetIconPixels(icon, &pixels, &width, &height) || pixels == nullptr || width <= 0 ||
        height <= 0) {
        return std::nullopt;
    }
    // The layer keeps icons premultiplied; the image routine wants straight
    // alpha.
    std::vector<uint32_t> straight(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < straight.size(); ++i) {
        const uint32_t p = pixels[i];
        const uint32_t a = p >> 24;
        if (a == 0 || a == 255) {
            straight[i] = a == 0 ? 0 : p;
            continue;
        }
        auto channel = [&](int shift) {
            return std::min<uint32_t>(255, (((p >> shift) & 0xFF) * 255 + a / 2) / a) << shift;
        };
        straight[i] = (a << 24) | channel(16) | channel(8) | channel(0);
    }
    return ImageFromIcon(straight.data(), width, height, width);
}

}  // namespace dui

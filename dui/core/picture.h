#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dui/core/control.h"
#include "dui/core/image.h"

namespace dui {

// How a picture places its image.
enum class PictureDrawMode : int { TopLeft = 0, Stretched = 1, Centred = 2 };

// A control showing one image, still or animated. An animated image advances
// one frame per tick of the control's timer, each frame shown for its own
// delay (hundredths of a second). Still images never start a timer.
class ExPicture : public ExControl {
public:
    ExPicture() = default;
    ~ExPicture() override;

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    // Loads the bytes (an encoded image with its signature) and creates the
    // control. With the zero-delay fix, frame delays of 0 become 10.
    ControlHandle CreateFromBytes(ControlParent parent, float left, float top, float width,
                                  float height, std::string_view image_bytes, bool playing = false,
                                  Argb back_colour = 0, bool zero_delay_fix = false,
                                  PictureDrawMode draw_mode = PictureDrawMode::Stretched,
                                  int64_t border = 0, bool visible = true);
    // Shows an icon (a still image).
    ControlHandle CreateFromIcon(ControlParent parent, float left, float top, float width,
                                 float height, plat::HICON icon, Argb back_colour = 0,
                                 PictureDrawMode draw_mode = PictureDrawMode::Stretched,
                                 int64_t border = 0, bool visible = true);

    // Starts (from the first frame) or stops the animation and repaints.
    bool Playing() const { return m_playing; }
    bool Playing(bool value);
    // Replaces the image with new encoded bytes (signature present).
    const std::string& ImageData() const { return m_image_data; }
    std::string ImageData(std::string_view bytes, bool repaint = true);
    Argb BackColour() const { return m_back_colour; }
    Argb BackColour(Argb value);

    // Paints the current frame and schedules the next one.
    void PaintFrame();

    int FrameIndex() const { return m_frame_index; }
    int FrameCount() const { return m_frame_count; }
    const std::vector<int32_t>& FrameDelays() const { return m_delays; }
    const ExImage* Image() const { return m_image ? &*m_image : nullptr; }

private:
    void LoadImage(std::string_view bytes, bool signature_stripped);
    void ReleaseImage();

    std::string m_image_data;
    std::optional<ExImage> m_image;
    bool m_playing = false;
    int64_t m_border = 0;
    int m_frame_index = 0;
    int m_frame_count = 0;
    Argb m_back_colour = 0;
    std::vector<int32_t> m_delays;
    PictureDrawMode m_draw_mode = PictureDrawMode::Stretched;
    bool m_zero_delay_fix = false;
};

// The pixels of a platform icon as an image; nothing when the icon is gone.
std::optional<ExImage> ImageFromIconHandle(plat::HICON icon);

}  // namespace dui

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dui/controls/text_control.h"
#include "dui/core/geometry.h"
#include "dui/core/image.h"

namespace dui {

// How an image button draws its picture.
enum ImageDrawMode : int {
    kImageNatural = 0,    // own size at the top-left corner
    kImageStretched = 1,  // over the whole button
    kImageNineGrid = 3,   // corners unscaled, edges and centre stretched
};

// A skinned push button: its face is one of three pictures, by state
// (normal; hover and focused; pressed), with the caption drawn over it.
// Without a picture for a state the face is empty; a disabled button shows
// no picture. Focus changes repaint nothing and it draws no focus cue.
class ExImageButton : public ExTextControl {
public:
    ExImageButton() = default;
    ~ExImageButton() override;

    // Stores each picture and setting given and repaints once.
    void SetImages(std::optional<std::string_view> normal, std::optional<std::string_view> hover = std::nullopt,
                   std::optional<std::string_view> pressed = std::nullopt,
                   std::optional<int> draw_mode = std::nullopt,
                   std::optional<Margins> grid_margins = std::nullopt);

    // Pictures as encoded bytes (PNG, JPEG, BMP, ICO, GIF; also a PNG
    // without its signature). Bytes that do not decode show nothing.
    const std::string& NormalImage() const { return m_normal.bytes; }
    const std::string& NormalImage(std::string_view bytes);
    const std::string& HoverImage() const { return m_hover.bytes; }
    const std::string& HoverImage(std::string_view bytes);
    const std::string& PressedImage() const { return m_pressed.bytes; }
    const std::string& PressedImage(std::string_view bytes);
    int DrawMode() const { return m_draw_mode; }
    int DrawMode(int mode);
    const Margins& GridMargins() const { return m_grid_margins; }
    // Repaints only where it shows (nine-grid mode).
    const Margins& GridMargins(const Margins& margins);

protected:
    int FaceHook(ExCanvas& canvas, int state) override;
    int TextHook(ExCanvas& canvas, int state, RectF& text_rect, RectF& icon_rect) override;
    intptr_t PreHook(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

private:
    // Encoded bytes and their decoded image, decoded once when set.
    struct Picture {
        std::string bytes;
        std::optional<ExImage> image;
        void Set(std::string_view new_bytes);
        void Clear();
    };

    void Repaint();
    const Picture& PictureFor(int state) const;

    Picture m_normal;
    Picture m_hover;
    Picture m_pressed;
    int m_draw_mode = kImageNatural;
    Margins m_grid_margins{};
};

}  // namespace dui

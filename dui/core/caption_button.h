#pragma once

#include <cstdint>

#include "dui/core/control.h"

namespace dui {

// What a caption button does when clicked. The extra buttons only report
// the click (EX_MSG_CLICK and the host's OnClick) to the application.
enum class CaptionRole : int { Close, Maximise, Minimise, Extra1, Extra2, Extra3, Extra4 };

// A button of a host window's caption, drawn from the built-in caption strip
// with a normal, hover and pressed look that cross-fade. Never takes the
// keyboard focus.
class ExCaptionButton : public ExControl {
public:
    // Looks, in the strip's order.
    enum Look : int { kNormal = 0, kHover = 1, kPressed = 2 };

    ExCaptionButton() = default;
    ~ExCaptionButton() override;

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    ControlHandle CreateCaptionButton(plat::HWND host, const RectF& bounds, CaptionRole role);

    CaptionRole Role() const { return m_role; }
    int CurrentLook() const { return m_look; }

    // Width of the button for a role: 39 for close, 28 for the others.
    static int WidthFor(CaptionRole role);

protected:
    intptr_t OnPointerDown(const PointerEvent& event) override;
    intptr_t OnPointerUp(const PointerEvent& event) override;

private:
    void PaintLook(int look, int start_alpha);
    void RunCommand();

    CaptionRole m_role = CaptionRole::Close;
    int m_look = kNormal;
};

}  // namespace dui

#pragma once

#include "dui/controls/text_control.h"

namespace dui {

enum class Repaint { No, Yes };

// A flat button with a checked state: a glassy frame shows while it is
// hovered, pressed or checked. A click does not change the checked state
// (the application decides, e.g. keeping one of a group checked). Focus
// changes repaint nothing; once repainted, the focused button carries a dark
// frame.
class ExToggleButton : public ExTextControl {
public:
    ExToggleButton() = default;
    ~ExToggleButton() override;

    bool Checked() const { return m_checked; }
    // Repaints only when the value changes (and when asked).
    bool Checked(bool value, Repaint repaint = Repaint::Yes);

protected:
    int FaceHook(ExCanvas& canvas, int state) override;
    intptr_t PreHook(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

private:
    bool m_checked = false;
};

}  // namespace dui

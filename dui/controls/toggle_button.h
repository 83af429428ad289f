#pragma once

#include <optional>
#include <string>

#include "dui/controls/text_control.h"
#include "dui/core/font.h"

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

    // A small mark at the top right corner, as a tab tells how the search
    // behind it went: a short text (a row count) on a blue pill, or, for
    // kBadgeFailure, a red "!". Empty (the default) shows none. A text too
    // long for the corner is cut at a character.
    static constexpr const char* kBadgeFailure = "!";
    const std::string& Badge() const { return m_badge; }
    const std::string& Badge(std::string text);

protected:
    int FaceHook(ExCanvas& canvas, int state) override;
    intptr_t PreHook(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    void OverlayHook(ExCanvas& canvas, int state) override;

private:
    bool m_checked = false;
    std::string m_badge;
    std::optional<dui::Font> m_badge_font;  // made for the first badge
};

}  // namespace dui

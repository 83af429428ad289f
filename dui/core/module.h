#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "dui/core/control.h"
#include "dui/core/image.h"
#include "platform/platform.h"

namespace dui {

// The class every host window is created with by default.
inline constexpr const char* kHostWindowClass = "Ex_DirectUI";

// The caption's title label is a label of the controls library; the core
// only creates and places it through these two functions, which the
// controls library installs at its start-up (before the first Attach).
// `create` makes a label showing `text` in white at alpha 250 as a top-level
// control of the host window and returns the owned object; `set_text`
// changes its text (the window's title changed).
struct TitleLabelFactory {
    std::function<std::unique_ptr<ExControl>(plat::HWND host, const RectF& bounds,
                                             std::string_view text)>
        create;
    std::function<void(ExControl& label, std::string_view text)> set_text;
};

// Commands of the edit box's context menu; the controls library builds the
// menu from this table at its start-up. Command 0 is a separator.
struct EditMenuItem {
    const char* text;
    int command;
};
inline constexpr EditMenuItem kEditMenuItems[] = {
    {"剪切(&T)", 88}, {"复制(&C)", 67}, {"粘贴(&P)", 86}, {"", 0}, {"全部选择(&A)", 65},
};

// State of the widget framework, created once by ModuleStartup.
struct ModuleState {
    bool started = false;
    // Major version of the operating system; blur behind windows exists
    // only where it is 6 and a compositor blurs, which is never the case
    // here, so it stays 0.
    int os_major_version = 0;
    plat::HCURSOR default_cursor = nullptr;
    std::optional<ExImage> caption_strip;  // built-in 729 x 20 strip
    TitleLabelFactory title_label_factory;
};

ModuleState& Module();

// Module start-up: default font, default cursor, the built-in caption strip,
// and the window class "Ex_DirectUI" (double clicks, default procedure,
// arrow cursor). The fonts and the strip are built once; later calls only
// make sure the class exists. False when it could not be registered.
bool ModuleStartup();

void SetTitleLabelFactory(TitleLabelFactory factory);

// The built-in caption strip, or null before start-up.
const ExImage* CaptionStrip();

}  // namespace dui

#include "dui/core/module.h"

#include <string_view>

#include "dui/core/font.h"

namespace dui {
namespace {

#include "dui/core/caption_strip_data.inc"

}  // namespace

ModuleState& Module() {
    static ModuleState state;
    return state;
}

bool ModuleStartup() {
    ModuleState& module = Module();
    if (!module.started) {
        InitialiseFonts();
        module.caption_strip = LoadImageFromBytes(
            std::string_view(reinterpret_cast<const char*>(kCaptionStripPng),
                             sizeof kCaptionStripPng),
            true);
        module.started = true;
    }
    // The cursor and the class belong to the window system, which may have
    // been started afresh since the last call.
    module.default_cursor = plat::LoadCursor(nullptr, plat::IDC_ARROW);
    plat::WNDCLASSEX existing;
    if (plat::GetClassInfoEx(nullptr, kHostWindowClass, &existing)) return true;
    plat::WNDCLASSEX window_class;
    window_class.style = plat::CS_DBLCLKS;
    window_class.lpfnWndProc = plat::DefWindowProc;
    window_class.hInstance = plat::GetModuleHandle(nullptr);
    window_class.hCursor = module.default_cursor;
    window_class.lpszClassName = kHostWindowClass;
    return plat::RegisterClassEx(&window_class) != 0;
}

void SetTitleLabelFactory(TitleLabelFactory factory) {
    Module().title_label_factory = std::move(factory);
}

const ExImage* CaptionStrip() {
    const auto& strip = Module().caption_strip;
    return strip ? &*strip : nullptr;
}

}  // namespace dui

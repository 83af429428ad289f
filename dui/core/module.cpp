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
    if (module.started) return true;

    InitialiseFonts();
    module.default_cursor = plat::LoadCursor(nullptr, plat::IDC_ARROW);
    module.caption_strip = LoadImageFromBytes(
        std::string_view(reinterpret_cast<const char*>(kCaptionStripPng), sizeof kCaptionStripPng),
        true);

    plat::WNDCLASSEX window_class;
    plat::WNDCLASSEX existing;
    if (!plat::GetClassInfoEx(nullptr, kHostWindowClass, &existing)) {
        window_class.style = plat::CS_DBLCLKS;
        window_class.lpfnWndProc = plat::DefWindowProc;
        window_class.cbWndExtra = 0;
        window_class.hInstance = plat::GetModuleHandle(nullptr);
        window_class.hCursor = module.default_cursor;
        window_class.lpszClassName = kHostWindowClass;
        if (plat::RegisterClassEx(&window_class) == 0) return false;
    }
    module.started = true;
    return true;
}

void SetTitleLabelFactory(TitleLabelFactory factory) {
    Module().title_label_factory = std::move(factory);
}

const ExImage* CaptionStrip() {
    const auto& strip = Module().caption_strip;
    return strip ? &*strip : nullptr;
}

}  // namespace dui

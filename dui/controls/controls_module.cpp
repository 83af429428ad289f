#include "dui/controls/controls_module.h"

#include <memory>
#include <string_view>

#include "dui/controls/label.h"
#include "dui/core/module.h"

namespace dui {
namespace {

// The title is white at alpha 250; auto contrast turns it black over light
// backgrounds and follows background changes (the host sends every control
// EX_MSG_REPAINTSTATE after repainting its background). Applications
// restyle it through the label's setters.
std::unique_ptr<ExControl> CreateTitleLabel(plat::HWND host, const RectF& bounds,
                                            std::string_view text) {
    auto label = std::make_unique<ExLabel>();
    LabelOptions options;
    options.text = std::string(text);
    options.text_colour = MakeArgb(0xFFFFFF, 250);
    options.auto_contrast = true;
    label->CreateLabel(host, bounds.left, bounds.top, bounds.width, bounds.height,
                       std::move(options));
    return label;
}

void SetTitleText(ExControl& control, std::string_view text) {
    if (auto* label = dynamic_cast<ExLabel*>(&control)) label->LabelText(text);
}

}  // namespace

ControlsState& ControlsModule() {
    static ControlsState state;
    return state;
}

bool ControlsStartup() {
    if (!Module().started && !ModuleStartup()) return false;
    SetTitleLabelFactory(TitleLabelFactory{CreateTitleLabel, SetTitleText});
    ExPopupMenu& menu = ControlsModule().edit_menu;
    menu.ClearItems();
    for (const EditMenuItem& entry : kEditMenuItems) {
        if (entry.command == 0) {
            menu.AddSeparator();
        } else {
            menu.AddItem(entry.text, MenuCommand{entry.command});
        }
    }
    return true;
}

}  // namespace dui

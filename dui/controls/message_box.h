#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace dui {

// What ShowMessageBox returns: the code of the pressed button, or
// kCodeCancel when the box was closed any other way (Esc, the close button,
// the program quitting).
enum MessageBoxCode : int {
    kCodeConfirm = 0,
    kCodeCancel = 1,
    kCodeAbort = 2,
    kCodeRetry = 3,
    kCodeIgnore = 4,
    kCodeYes = 5,
    kCodeNo = 6,
};

// Button sets, named as read left to right.
enum MessageBoxButtons : int {
    kButtonsConfirm = 0,             // "确认"
    kButtonsConfirmCancel = 1,       // "确认" "取消"
    kButtonsAbortRetryIgnore = 2,    // "放弃" "重试" "忽略"
    kButtonsYesNoCancel = 3,         // "是(&Y)" "否(&N)" "取消"
    kButtonsYesNo = 4,               // "是(&Y)" "否(&N)"
    kButtonsRetryCancel = 5,         // "重试" "取消"
};

// Icons, also the sound of the beep. Any other nonzero value shows the
// error picture.
inline constexpr int kIconNone = 0;
inline constexpr int kIconError = 16;
inline constexpr int kIconQuestion = 32;
inline constexpr int kIconWarning = 48;
inline constexpr int kIconInformation = 64;
inline constexpr int kIconSuccess = 128;

// Window properties on the box: its window flags (3) and its icon.
inline constexpr const char* kWindowFlagsProperty = "Ex_Wnd_Flags";
inline constexpr const char* kMessageBoxProperty = "Ex_DirectUI_MsgBox";

// The look of a box given explicitly instead of copied from its owner.
struct MessageBoxSkin {
    std::string background_image;              // encoded bytes; empty = none
    std::optional<int32_t> background_colour;  // RGB
    std::optional<int> layered_alpha;          // absent = not layered
    int image_mode = 0;
    int frame_style = 7;
};

// The optional arguments of ShowMessageBox, in their documented order.
struct MessageBoxOptions {
    int buttons = kButtonsConfirm;
    std::string title = "提示：";
    int icon = kIconNone;
    // Runs once the buttons exist, before the box is shown.
    std::function<void(plat::HWND box, int width, int height)> init;
    bool beep = true;                // with an icon only
    bool centre_on_owner = false;    // otherwise centred on the work area
    // Replace the set's captions position by position (rightmost first);
    // captions beyond the set's buttons are ignored, missing ones keep the
    // standard caption.
    std::vector<std::string> captions;
    int default_button = 1;          // position, 1 = rightmost
    std::optional<MessageBoxSkin> skin;   // absent: the owner's look
};

// Asks a question in a modal dialog window above `owner` (may be null) and
// returns the code of the answer. The owner takes no input while the box
// runs; Enter presses the focused (default) button, Esc answers kCodeCancel.
// Boxes nest: a box may be asked while another one runs.
int ShowMessageBox(plat::HWND owner, std::string_view message, MessageBoxOptions options = {});

}  // namespace dui

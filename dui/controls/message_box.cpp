#include "dui/controls/message_box.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "dui/controls/label.h"
#include "dui/controls/message_icons_data.inc"
#include "dui/controls/text_control.h"
#include "dui/core/control_registry.h"
#include "dui/core/font.h"
#include "dui/core/host_window.h"
#include "dui/core/image.h"
#include "dui/core/string_format.h"
#include "util/gbk_text.h"

namespace dui {
namespace {

struct ButtonSpec {
    const char* caption;
    int code;
};

// Rightmost first.
constexpr ButtonSpec kConfirm[] = {{"确认", kCodeConfirm}};
constexpr ButtonSpec kConfirmCancel[] = {{"取消", kCodeCancel}, {"确认", kCodeConfirm}};
constexpr ButtonSpec kAbortRetryIgnore[] = {{"忽略", kCodeIgnore}, {"重试", kCodeRetry}, {"放弃", kCodeAbort}};
constexpr ButtonSpec kYesNoCancel[] = {{"取消", kCodeCancel}, {"否(&N)", kCodeNo}, {"是(&Y)", kCodeYes}};
constexpr ButtonSpec kYesNo[] = {{"否(&N)", kCodeNo}, {"是(&Y)", kCodeYes}};
constexpr ButtonSpec kRetryCancel[] = {{"取消", kCodeCancel}, {"重试", kCodeRetry}};

std::span<const ButtonSpec> ButtonSet(int buttons) {
    switch (buttons) {
        case kButtonsConfirm: return kConfirm;
        case kButtonsConfirmCancel: return kConfirmCancel;
        case kButtonsAbortRetryIgnore: return kAbortRetryIgnore;
        case kButtonsYesNoCancel: return kYesNoCancel;
        case kButtonsYesNo: return kYesNo;
        case kButtonsRetryCancel: return kRetryCancel;
        default: return {};
    }
}

constexpr int kBoxWidth = 320;
constexpr int kBoxHeight = 150;
constexpr float kTextTop = 43;
constexpr float kTextLeftWithIcon = 85;
constexpr float kTextLeft = 30;
constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 24;
constexpr int kButtonStep = 75;
constexpr int kButtonRightMargin = 8;
// Buttons placed again after a resize sit this far from the right edge.
constexpr int kResizedButtonRightMargin = 10;
// Text lower than this (one line) sits a little below the text top.
constexpr float kShortTextHeight = 30;
constexpr float kShortTextNudge = 4;
constexpr int kButtonBottomMargin = 35;
constexpr RectF kIconCell{30, 40, 40, 40};
constexpr int kIconCellSize = 40;
// With no owner to copy from: the accent colour (red 0, green 136, blue 255).
constexpr int32_t kAccentColour = 0xFF8800;
constexpr int kAccentAlpha = 210;
// Longer messages are cut: nobody reads them in a dialog, and measuring
// them must stay cheap.
constexpr size_t kMaxMessageBytes = 16 * 1024;
// A layout rectangle wider and taller than any screen.
constexpr float kUnboundedLayout = 100000;

// The cell of the icon strip for an icon value.
int IconCell(int icon) {
    switch (icon) {
        case kIconError: return 0;
        case kIconWarning: return 1;
        case kIconQuestion: return 2;
        case kIconInformation: return 3;
        case kIconSuccess: return 4;
        default: return 0;
    }
}

const ExImage* IconStrip() {
    static const std::optional<ExImage> strip = LoadImageFromBytes(
        std::string_view(reinterpret_cast<const char*>(kMessageIconsPng), sizeof kMessageIconsPng), true);
    return strip ? &*strip : nullptr;
}

plat::RECT WorkArea() {
    plat::RECT area{};
    if (!plat::SystemParametersInfo(plat::SPI_GETWORKAREA, 0, &area, 0) || plat::IsRectEmpty(&area)) {
        area = plat::RECT{0, 0, plat::GetSystemMetrics(plat::SM_CXSCREEN), plat::GetSystemMetrics(plat::SM_CYSCREEN)};
    }
    return area;
}

// "serial|code|position" -> its three numbers.
struct ButtonTag {
    uint64_t serial = 0;
    int code = 0;
    int position = 0;
};

std::optional<ButtonTag> ParseTag(std::string_view tag) {
    ButtonTag parsed;
    const char* at = tag.data();
    const char* end = tag.data() + tag.size();
    auto number = [&](auto& value, bool last) {
        auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || next == at) return false;
        at = next;
        if (last) return at == end;
        if (at == end || *at != '|') return false;
        ++at;
        return true;
    };
    if (!number(parsed.serial, false) || !number(parsed.code, false) || !number(parsed.position, true)) {
        return std::nullopt;
    }
    return parsed;
}

std::string MakeTag(uint64_t serial, int code, int position) {
    return std::to_string(serial) + "|" + std::to_string(code) + "|" + std::to_string(position);
}

// The message label: a click on it ends the box (with kCodeCancel), so it
// accepts presses like a button would.
class MessageLabel : public ExLabel {
public:
    ~MessageLabel() override { Destroy(); }

protected:
    intptr_t PreHook(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
        if (message == EX_MSG_ACCEPTPRESS) return 1;
        return ExLabel::PreHook(message, wparam, lparam);
    }
};

// Where the box and its text go.
struct BoxLayout {
    plat::RECT box{};   // screen
    RectF text;         // client
    bool multi_line = false;
};

BoxLayout LayOutBox(plat::HWND owner, std::string_view message, bool has_icon, bool centre_on_owner) {
    const plat::RECT area = WorkArea();
    plat::RECT reference = area;
    if (centre_on_owner && plat::IsWindow(owner)) {
        plat::RECT owner_rect{};
        if (plat::GetWindowRect(owner, &owner_rect) && !plat::IsRectEmpty(&owner_rect)) reference = owner_rect;
    }
    BoxLayout layout;
    int width = kBoxWidth;
    int height = kBoxHeight;
    RectF& text = layout.text;
    text = {has_icon ? kTextLeftWithIcon : kTextLeft, kTextTop,
            static_cast<float>(width - (has_icon ? 120 : 60)), static_cast<float>(height - 100)};

    StringFormat format;   // wraps only at line breaks: the layout is unbounded
    const RectF measured = MeasureString(message, DefaultFont(), {0, 0, kUnboundedLayout, kUnboundedLayout}, format);
    const float measured_width = std::ceil(measured.width);
    const float measured_height = std::ceil(measured.height);
    layout.multi_line = measured_height > DefaultFont().Height() * 1.5f;
    if (measured_width > text.width) {
        width += static_cast<int>(measured_width - text.width);
        text.width = measured_width + 10;
    }
    if (measured_height > text.height) {
        height += static_cast<int>(measured_height - text.height);
        text.height = measured_height + 5;
    }
    if (measured_height < kShortTextHeight) text.top += kShortTextNudge;
    // Never larger than the work area; the text is cut instead.
    const int area_width = area.right - area.left;
    const int area_height = area.bottom - area.top;
    if (width > area_width) {
        width = std::max(kBoxWidth, area_width);
        text.width = std::max(0.0f, static_cast<float>(width) - text.left - 30);
    }
    if (height > area_height) {
        height = std::max(kBoxHeight, area_height);
        text.height = std::max(0.0f, static_cast<float>(height) - text.top - kButtonBottomMargin - 10);
    }

    int left = reference.left + (reference.right - reference.left - width) / 2;
    int top = reference.top + (reference.bottom - reference.top - height) / 2;
    // An owner partly off-screen must not take the box with it.
    left = std::max(area.left, std::min(left, area.right - width));
    top = std::max(area.top, std::min(top, area.bottom - height));
    layout.box = plat::RECT{left, top, left + width, top + height};
    return layout;
}

class MessageBoxSession {
public:
    int Run(plat::HWND owner, std::string_view message, MessageBoxOptions& options);

private:
    bool Build(plat::HWND owner, std::string_view message, MessageBoxOptions& options);
    AttachOptions LookOf(plat::HWND owner, const std::optional<MessageBoxSkin>& skin) const;
    intptr_t Hook(uint32_t message, uintptr_t wparam);
    void OnClick(ControlHandle control);
    void PlaceButtons(int width, int height);
    void Close();
    void ReleaseOwner();

    uint64_t m_serial = 0;
    int m_icon = kIconNone;
    int m_result = kCodeCancel;
    bool m_closing = false;
    plat::HWND m_box = nullptr;
    plat::HWND m_owner = nullptr;
    bool m_owner_disabled_here = false;
    ExHostWindow m_host;
    MessageLabel m_label;
    std::vector<std::unique_ptr<ExTextControl>> m_buttons;
};

AttachOptions MessageBoxSession::LookOf(plat::HWND owner, const std::optional<MessageBoxSkin>& skin) const {
    AttachOptions look;
    look.flags = kFlagTitle | kFlagClose;
    look.resizable = false;
    if (skin) {
        look.background_image = skin->background_image;
        look.background_colour = skin->background_colour;
        look.layered_alpha = skin->layered_alpha;
        look.image_mode = skin->image_mode;
        look.frame_style = skin->frame_style;
    } else if (const ExHostWindow* owner_host = HostFromWindow(owner)) {
        look.shared_background = owner;
        look.frame_style = owner_host->FrameStyle();
        if (owner_host->Layered()) look.layered_alpha = owner_host->LayeredAlpha();
        look.animations = owner_host->AnimationsEnabled();
    } else {
        look.background_colour = kAccentColour;
        look.layered_alpha = kAccentAlpha;
    }
    return look;
}

bool MessageBoxSession::Build(plat::HWND owner, std::string_view message, MessageBoxOptions& options) {
    static uint64_t next_serial = 1;
    m_serial = next_serial++;
    m_icon = options.icon;
    m_owner = plat::IsWindow(owner) ? owner : nullptr;
    message = util::GbkPrefix(message, kMaxMessageBytes);

    const BoxLayout layout = LayOutBox(m_owner, message, m_icon != kIconNone, options.centre_on_owner);
    const int width = layout.box.right - layout.box.left;
    const int height = layout.box.bottom - layout.box.top;
    HostWindowOptions window;
    window.parent = m_owner;
    window.title = options.title;
    window.left = layout.box.left;
    window.top = layout.box.top;
    window.width = width;
    window.height = height;
    window.style = plat::WS_POPUP | plat::WS_SYSMENU | plat::WS_CLIPCHILDREN;
    m_box = CreateHostWindow(window);
    if (m_box == nullptr) return false;
    // A dialog of its owner: kept above it and marked modal for the system.
    plat::SetWindowRole(m_box, plat::WindowRole::Dialog);
    plat::SetProp(m_box, kWindowFlagsProperty, reinterpret_cast<plat::HANDLE>(intptr_t{3}));
    plat::SetProp(m_box, kMessageBoxProperty, reinterpret_cast<plat::HANDLE>(static_cast<intptr_t>(m_icon)));

    m_host.OnPaintBackground([this](plat::HWND, ExCanvas& canvas, int, int) {
        if (m_icon == kIconNone) return;
        if (const ExImage* strip = IconStrip()) {
            const float cell = static_cast<float>(IconCell(m_icon) * kIconCellSize);
            canvas.DrawImagePart(*strip, kIconCell, RectF{cell, 0, kIconCellSize, kIconCellSize});
        }
    });
    m_host.OnMessage([this](plat::HWND, uint32_t msg, uintptr_t wparam, intptr_t) { return Hook(msg, wparam); });
    m_host.OnClick([this](plat::HWND, ControlHandle control, uintptr_t, intptr_t, ControlKind) { OnClick(control); });
    m_host.OnSize([this](plat::HWND, int new_width, int new_height) { PlaceButtons(new_width, new_height); });
    if (!m_host.Attach(m_box, LookOf(m_owner, options.skin))) return false;

    LabelOptions label;
    label.text = std::string(message);
    label.word_wrap = layout.multi_line;
    label.auto_contrast = true;
    label.line_alignment = kLabelCentre;
    m_label.CreateLabel(m_box, layout.text.left, layout.text.top, layout.text.width, layout.text.height,
                        std::move(label));

    const std::span<const ButtonSpec> set = ButtonSet(options.buttons);
    for (size_t i = 0; i < set.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        std::string caption = i < options.captions.size() ? options.captions[i] : set[i].caption;
        auto button = std::make_unique<ExTextControl>();
        button->CreateTextControl(m_box, static_cast<float>(width - position * kButtonStep - kButtonRightMargin),
                                  static_cast<float>(height - kButtonBottomMargin), kButtonWidth,
                                  kButtonHeight, std::move(caption));
        button->Tag(MakeTag(m_serial, set[i].code, position));
        m_buttons.push_back(std::move(button));
    }
    if (options.default_button >= 1 && options.default_button <= static_cast<int>(m_buttons.size())) {
        m_host.SetFocus(m_buttons[static_cast<size_t>(options.default_button - 1)]->GetHandle(), true);
    }
    return true;
}

int MessageBoxSession::Run(plat::HWND owner, std::string_view message, MessageBoxOptions& options) {
    if (!Build(owner, message, options)) {
        if (plat::IsWindow(m_box)) plat::DestroyWindow(m_box);
        return kCodeCancel;
    }
    const plat::HWND box = m_box;
    if (options.init) {
        options.init(box, m_host.ClientWidth(), m_host.ClientHeight());
        if (!plat::IsWindow(box)) return m_result;
    }
    if (m_icon != kIconNone && options.beep) plat::MessageBeep(static_cast<plat::UINT>(m_icon));

    if (m_owner != nullptr) {
        plat::SendMessage(m_owner, plat::WM_MOUSELEAVE, 0, 0);
        // From here on the owner takes no input, also while showing the box
        // runs pending messages.
        m_owner_disabled_here = plat::IsWindowEnabled(m_owner) != 0;
        if (m_owner_disabled_here) plat::EnableWindow(m_owner, 0);
    }
    m_host.Show();
    if (plat::IsWindow(box)) {
        plat::SetWindowPos(box, plat::HWND_TOPMOST, 0, 0, 0, 0, plat::SWP_NOMOVE | plat::SWP_NOSIZE);
        plat::SetForegroundWindow(box);
        if (m_owner != nullptr) plat::PostMessage(m_owner, plat::WM_MOUSELEAVE, 0, 0);
        // The owner is disabled already (and enabled again as the box
        // closes); the loop keeps input to other windows out.
        RunModalLoop(box, m_owner);
    }
    if (plat::IsWindow(box)) {
        // The loop ended on the program's quit request (posted again for
        // the outer loop): the question goes unanswered.
        m_result = kCodeCancel;
        ReleaseOwner();
        plat::DestroyWindow(box);
    }
    ReleaseOwner();
    return m_result;
}

intptr_t MessageBoxSession::Hook(uint32_t message, uintptr_t wparam) {
    switch (message) {
        case plat::WM_KEYDOWN:
            if (wparam == static_cast<uintptr_t>(plat::VK_ESCAPE)) {
                Close();
                return 0;
            }
            break;
        case plat::WM_CLOSE:
            // The owner takes input again before the box goes, so the
            // activation returns to it.
            m_closing = true;
            ReleaseOwner();
            break;
        case plat::WM_DESTROY:
            plat::RemoveProp(m_box, kWindowFlagsProperty);
            plat::RemoveProp(m_box, kMessageBoxProperty);
            break;
        default: break;
    }
    return kNotHandled;
}

void MessageBoxSession::OnClick(ControlHandle control) {
    if (m_closing) return;
    if (const ExControl* clicked = ResolveControl(control)) {
        if (auto tag = ParseTag(clicked->Tag()); tag && tag->serial == m_serial) m_result = tag->code;
    }
    Close();
}

void MessageBoxSession::PlaceButtons(int width, int height) {
    for (auto& button : m_buttons) {
        auto tag = ParseTag(button->Tag());
        if (!tag) continue;
        button->Move(static_cast<float>(width - tag->position * kButtonStep - kResizedButtonRightMargin),
                     static_cast<float>(height - kButtonBottomMargin));
    }
}

// Closing is posted: the click or key that asked for it is still being
// dispatched to controls of the box.
void MessageBoxSession::Close() {
    if (m_closing) return;
    m_closing = true;
    plat::PostMessage(m_box, plat::WM_CLOSE, 0, 0);
}

void MessageBoxSession::ReleaseOwner() {
    if (!m_owner_disabled_here) return;
    m_owner_disabled_here = false;
    if (!plat::IsWindow(m_owner)) return;
    plat::EnableWindow(m_owner, 1);
    if (plat::IsWindowVisible(m_owner)) plat::SetForegroundWindow(m_owner);
}

}  // namespace

int ShowMessageBox(plat::HWND owner, std::string_view message, MessageBoxOptions options) {
    MessageBoxSession session;
    return session.Run(owner, message, options);
}

}  // namespace dui

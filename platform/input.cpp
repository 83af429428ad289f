// Input: what backends queue, and how it becomes mouse, key, character and
// input-method messages when a loop retrieves it (routing by capture, focus
// and position; WM_SETCURSOR; double clicks; mouse-leave tracking; key
// state).

#include <algorithm>
#include <cstdlib>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

int GenericKey(int vk);

void QueueRaw(RawInput input) {
    CoreState& core = Core();
    input.time = core.system ? core.system->NowMs() : 0;
    if (input.text.size() > kMaxInputText) input.text.resize(kMaxInputText);
    // Consecutive moves collapse into the latest, as on Windows.
    if (input.kind == RawInput::Kind::MouseMove && !core.raw_input.empty()) {
        RawInput& last = core.raw_input.back();
        if (last.kind == RawInput::Kind::MouseMove && last.hwnd == input.hwnd) {
            last = std::move(input);
            return;
        }
    }
    if (core.raw_input.size() >= kMaxQueuedInput) return;
    core.raw_input.push_back(std::move(input));
}

void NoteAsyncState(const InputState& state) {
    auto& keys = Core().async_key_state;
    auto set = [&keys](int vk, bool down) {
        keys[vk] = static_cast<uint8_t>(down ? (keys[vk] | 0x80) : (keys[vk] & ~0x80));
    };
    set(VK_SHIFT, state.shift);
    set(VK_CONTROL, state.control);
    set(VK_MENU, state.alt);
    set(VK_LBUTTON, state.left);
    set(VK_RBUTTON, state.right);
    set(VK_MBUTTON, state.middle);
}

int ButtonKey(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return VK_LBUTTON;
    case MouseButton::Right: return VK_RBUTTON;
    case MouseButton::Middle: return VK_MBUTTON;
    }
    return VK_LBUTTON;
}

void SetButtonInState(InputState& state, MouseButton button, bool down) {
    switch (button) {
    case MouseButton::Left: state.left = down; break;
    case MouseButton::Right: state.right = down; break;
    case MouseButton::Middle: state.middle = down; break;
    }
}

WPARAM MouseKeyFlags(const InputState& state) {
    WPARAM flags = 0;
    if (state.left) flags |= MK_LBUTTON;
    if (state.right) flags |= MK_RBUTTON;
    if (state.middle) flags |= MK_MBUTTON;
    if (state.shift) flags |= MK_SHIFT;
    if (state.control) flags |= MK_CONTROL;
    return flags;
}

// The modifier and button keys of `state` become the thread key state when
// the message is retrieved.
ReadyInput WithStateUpdates(const MSG& msg, const InputState& state) {
    ReadyInput ready;
    ready.msg = msg;
    const std::pair<int, bool> keys[] = {{VK_SHIFT, state.shift},     {VK_CONTROL, state.control},
                                         {VK_MENU, state.alt},        {VK_LBUTTON, state.left},
                                         {VK_RBUTTON, state.right},   {VK_MBUTTON, state.middle}};
    for (const auto& [vk, down] : keys) {
        const uint32_t i = ready.key_update_count++;
        ready.key_updates[i] = static_cast<uint8_t>(vk);
        if (down) ready.key_down_mask |= 1u << i;
    }
    return ready;
}

void PushReady(ReadyInput ready) { Core().ready_input.push_back(std::move(ready)); }

LPARAM ClientLParam(HWND hwnd, POINT screen) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    const POINT origin = ClientOriginOnScreen(*record);
    return MAKELPARAM(screen.x - origin.x, screen.y - origin.y);
}

bool Routable(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || record->destroying) return false;
    // A disabled window or one inside a disabled window takes no input.
    for (WindowRecord* current = record; current;) {
        if (current->style & WS_DISABLED) return false;
        if (!current->IsChild()) break;
        current = Resolve(current->parent);
    }
    return true;
}

// The front-most visible, enabled window owned (directly or not) by `owner`.
HWND EnabledOwnedWindow(HWND owner) {
    const auto& list = Core().top_levels;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        WindowRecord* record = Resolve(*it);
        if (!record || *it == owner || record->destroying || record->NeverActive()) continue;
        if ((record->style & (WS_VISIBLE | WS_DISABLED)) != WS_VISIBLE) continue;
        HWND up = GetParent(*it);
        for (int depth = 0; up && depth < 4096; ++depth, up = GetParent(up)) {
            if (up == owner) return *it;
        }
    }
    return nullptr;
}

void UpdateUnderPointer(HWND under) {
    CoreState& core = Core();
    if (core.under_pointer == under) return;
    core.under_pointer = under;
    PostLeaveIfTracked(under);
}

// Sends WM_SETCURSOR for uncaptured mouse input, as Windows does before
// delivering the mouse message.
void SendSetCursor(HWND target, UINT mouse_message) {
    if (Core().capture) return;
    SendMessage(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                MAKELPARAM(HTCLIENT, static_cast<int>(mouse_message)));
}

// Where the pointer is among the program's windows; a backend reports input
// over none of them for no window.
HWND UnderPointer(const RawInput& input) {
    return input.hwnd ? HitTestScreen(input.screen, input.hwnd) : nullptr;
}

HWND MouseTarget(const RawInput& input) {
    CoreState& core = Core();
    const HWND under = UnderPointer(input);
    UpdateUnderPointer(under);
    if (core.capture && IsWindow(core.capture)) return core.capture;
    if (!under || !Routable(under)) return nullptr;
    return under;
}

void ConvertMouseMove(const RawInput& input) {
    const HWND target = MouseTarget(input);
    if (!target) {
        TooltipDismiss();
        return;
    }
    SendSetCursor(target, WM_MOUSEMOVE);
    if (!IsWindow(target)) return;
    const LPARAM lparam = ClientLParam(target, input.screen);
    TooltipMouseMove(target, POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}, input.time);
    MSG msg{};
    msg.hwnd = target;
    msg.message = WM_MOUSEMOVE;
    msg.wParam = MouseKeyFlags(input.state);
    msg.lParam = lparam;
    msg.time = static_cast<DWORD>(input.time);
    msg.pt = input.screen;
    PushReady(WithStateUpdates(msg, input.state));
}

UINT ButtonMessage(MouseButton button, bool pressed, bool double_click) {
    switch (button) {
    case MouseButton::Left:
        return pressed ? (double_click ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
    case MouseButton::Right:
        return pressed ? (double_click ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
    case MouseButton::Middle:
        return pressed ? (double_click ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN) : WM_MBUTTONUP;
    }
    return WM_NULL;
}

// A press is a double click when the window's class asks for them and the
// previous press of the same button on the same window was at most
// GetDoubleClickTime() ago and within half the double-click rectangle each
// way. The press after a double click starts afresh.
bool IsDoubleClick(HWND target, const RawInput& input) {
    CoreState& core = Core();
    auto& last = core.last_click;
    WindowRecord* record = Resolve(target);
    const bool wants = record && (record->window_class->info.style & CS_DBLCLKS);
    const bool double_click = wants && last.valid && last.hwnd == target &&
                              last.button == input.button &&
                              input.time - last.time <= kDoubleClickTime &&
                              std::abs(input.screen.x - last.screen.x) <= kDoubleClickWidth / 2 &&
                              std::abs(input.screen.y - last.screen.y) <= kDoubleClickHeight / 2;
    if (double_click) {
        last.valid = false;
    } else {
        last = CoreState::LastClick{target, input.button, input.time, input.screen, true};
    }
    return double_click;
}

void ConvertMouseButton(const RawInput& input) {
    CoreState& core = Core();
    InputState after = input.state;
    SetButtonInState(after, input.button, input.flag);
    auto& async = core.async_key_state[ButtonKey(input.button)];
    async = static_cast<uint8_t>(input.flag ? (async | 0x80) : (async & ~0x80));
    if (input.flag && PopupGrabActive() && !UnderPointer(input)) {
        // Outside every window of the program: the press only ends the grab.
        UpdateUnderPointer(nullptr);
        TooltipDismiss();
        PopupGrabOutsidePress();
        return;
    }
    HWND target = MouseTarget(input);
    if (input.flag) TooltipDismiss();
    if (!target) return;
    if (input.flag && !core.capture) {
        // A press activates the window's top-level window first.
        const HWND root = RootOf(target);
        WindowRecord* root_record = Resolve(root);
        if (root_record && core.active != root && !root_record->NeverActive()) {
            Activate(root, WA_CLICKACTIVE, false);
            if (!IsWindow(target)) return;
        }
    }
    const bool double_click = input.flag && IsDoubleClick(target, input);
    const UINT message = ButtonMessage(input.button, input.flag, double_click);
    SendSetCursor(target, message);
    if (!IsWindow(target)) return;
    MSG msg{};
    msg.hwnd = target;
    msg.message = message;
    msg.wParam = MouseKeyFlags(after);
    msg.lParam = ClientLParam(target, input.screen);
    msg.time = static_cast<DWORD>(input.time);
    msg.pt = input.screen;
    PushReady(WithStateUpdates(msg, after));
}

void ConvertMouseWheel(const RawInput& input) {
    CoreState& core = Core();
    UpdateUnderPointer(HitTestScreen(input.screen, input.hwnd));
    // The wheel goes to the capture, else the focus window, else the window
    // under the pointer.
    HWND target = core.capture;
    if (!IsWindow(target)) target = core.focus;
    if (!IsWindow(target)) target = HitTestScreen(input.screen, input.hwnd);
    if (!target || !Routable(target)) return;
    TooltipDismiss();
    const int delta = std::clamp(input.value, -32768, 32767);
    MSG msg{};
    msg.hwnd = target;
    msg.message = WM_MOUSEWHEEL;
    msg.wParam = MAKEWPARAM(static_cast<int>(MouseKeyFlags(input.state)), delta);
    msg.lParam = MAKELPARAM(input.screen.x, input.screen.y);
    msg.time = static_cast<DWORD>(input.time);
    msg.pt = input.screen;
    PushReady(WithStateUpdates(msg, input.state));
}

int GenericKey(int vk) {
    switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return vk;
    }
}

// The characters a key types, as Windows' keyboard layer makes them: the
// control characters of Enter, Backspace, Tab and Esc, Ctrl+letter as 1..26,
// otherwise the text the system reported, in GBK.
std::string KeyCharacters(int vk, const std::string& text, const InputState& state) {
    switch (vk) {
    case VK_RETURN: return std::string(1, '\r');
    case VK_BACK: return std::string(1, '\b');
    case VK_TAB: return state.control ? std::string() : std::string(1, '\t');
    case VK_ESCAPE: return std::string(1, '\x1b');
    default: break;
    }
    if (state.control && !state.alt) {
        if (vk >= 'A' && vk <= 'Z') return std::string(1, static_cast<char>(vk - 'A' + 1));
        return {};
    }
    if (text.empty()) return {};
    return Utf8ToGbkText(text);
}

void ConvertKey(const RawInput& input) {
    CoreState& core = Core();
    const int vk = GenericKey(input.value);
    if (vk <= 0 || vk > 255) return;
    const bool pressed = input.flag;
    if (pressed) TooltipDismiss();
    // Modifier keys update the state they describe themselves.
    InputState after = input.state;
    if (vk == VK_SHIFT) after.shift = pressed;
    if (vk == VK_CONTROL) after.control = pressed;
    if (vk == VK_MENU) after.alt = pressed;

    HWND target = core.focus;
    bool system_key = (after.alt || vk == VK_MENU || vk == VK_F10) && !after.control;
    if (vk == VK_MENU && !pressed) system_key = true;
    if (const HWND holder = PopupGrabHolder(); holder && !IsAncestorOrSelf(holder, target)) {
        // The grabbing popup takes the keyboard, wherever the focus is.
        target = holder;
    }
    if (!IsWindow(target)) {
        // Without a focus window the active window gets the keys as system keys.
        target = core.active;
        system_key = true;
    }
    if (!IsWindow(target) || !Routable(target)) return;
    const UINT message = pressed ? (system_key ? WM_SYSKEYDOWN : WM_KEYDOWN)
                                 : (system_key ? WM_SYSKEYUP : WM_KEYUP);
    const bool was_down = (core.key_state[vk] & 0x80) != 0;
    LPARAM lparam = 1;
    if (after.alt) lparam |= LPARAM{1} << 29;
    if (was_down || !pressed) lparam |= LPARAM{1} << 30;
    if (!pressed) lparam |= LPARAM{1} << 31;
    lparam = static_cast<LPARAM>(static_cast<DWORD>(lparam));
    MSG msg{};
    msg.hwnd = target;
    msg.message = message;
    msg.wParam = static_cast<WPARAM>(vk);
    msg.lParam = lparam;
    msg.time = static_cast<DWORD>(input.time);
    msg.pt = core.cursor_pos;

    ReadyInput ready = WithStateUpdates(msg, after);
    // The key itself goes first so that its toggle bit flips.
    ReadyInput with_key;
    with_key.msg = msg;
    with_key.key_updates[0] = static_cast<uint8_t>(vk);
    with_key.key_update_count = 1;
    with_key.key_down_mask = pressed ? 1u : 0u;
    with_key.toggle_first = pressed && !was_down;
    if (pressed) with_key.text = KeyCharacters(vk, input.text, after);
    for (uint32_t i = 0; i < ready.key_update_count && with_key.key_update_count < 8; ++i) {
        if (ready.key_updates[i] == vk) continue;
        const uint32_t slot = with_key.key_update_count++;
        with_key.key_updates[slot] = ready.key_updates[i];
        if ((ready.key_down_mask >> i) & 1) with_key.key_down_mask |= 1u << slot;
    }
    auto& async = core.async_key_state[vk];
    async = static_cast<uint8_t>(pressed ? (async | 0x80) : (async & ~0x80));
    PushReady(with_key);
}

// Committed text: ASCII runs arrive as WM_CHAR, other runs as a result
// string of WM_IME_COMPOSITION when the window has an input context; a
// window without one gets only the ASCII.
void ConvertImeCommit(const RawInput& input) {
    CoreState& core = Core();
    const HWND target = core.focus;
    WindowRecord* record = Resolve(target);
    if (!record || !Routable(target)) return;
    const bool attached = record->ime_attached;
    const std::string& text = input.text;
    size_t position = 0;
    while (position < text.size()) {
        const bool ascii = static_cast<unsigned char>(text[position]) < 0x80;
        size_t end = position;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) < 0x80) == ascii) ++end;
        const std::string_view run(text.data() + position, end - position);
        MSG msg{};
        msg.hwnd = target;
        msg.time = static_cast<DWORD>(input.time);
        msg.pt = core.cursor_pos;
        if (ascii) {
            for (char c : run) {
                msg.message = WM_CHAR;
                msg.wParam = static_cast<unsigned char>(c);
                msg.lParam = 1;
                ReadyInput ready;
                ready.msg = msg;
                PushReady(ready);
            }
        } else if (attached) {
            std::string gbk = Utf8ToGbkText(run);
            WPARAM last_char = 0;
            if (gbk.size() >= 2) {
                last_char = (static_cast<unsigned char>(gbk[gbk.size() - 2]) << 8) |
                            static_cast<unsigned char>(gbk.back());
            }
            ReadyInput start;
            start.msg = msg;
            start.msg.message = WM_IME_STARTCOMPOSITION;
            PushReady(start);
            ReadyInput composition;
            composition.msg = msg;
            composition.msg.message = WM_IME_COMPOSITION;
            composition.msg.wParam = last_char;
            composition.msg.lParam = static_cast<LPARAM>(GCS_RESULTSTR);
            composition.text = std::move(gbk);
            PushReady(composition);
            ReadyInput end_message;
            end_message.msg = msg;
            end_message.msg.message = WM_IME_ENDCOMPOSITION;
            PushReady(end_message);
        }
        position = end;
    }
}

}  // namespace

bool ConvertNextRawInput() {
    CoreState& core = Core();
    if (core.raw_input.empty()) return false;
    RawInput input = std::move(core.raw_input.front());
    core.raw_input.pop_front();
    if (input.kind == RawInput::Kind::MouseMove || input.kind == RawInput::Kind::MouseButton ||
        input.kind == RawInput::Kind::MouseWheel) {
        core.cursor_pos = input.screen;
    }
    switch (input.kind) {
    case RawInput::Kind::MouseMove: ConvertMouseMove(input); break;
    case RawInput::Kind::MouseButton: ConvertMouseButton(input); break;
    case RawInput::Kind::MouseWheel: ConvertMouseWheel(input); break;
    case RawInput::Kind::MouseLeave:
        if (RootOf(core.under_pointer) == input.hwnd || !core.under_pointer) {
            UpdateUnderPointer(nullptr);
            TooltipDismiss();
        }
        break;
    case RawInput::Kind::Key: ConvertKey(input); break;
    case RawInput::Kind::ImeCommit: ConvertImeCommit(input); break;
    case RawInput::Kind::Activation:
        if (!IsWindow(input.hwnd)) break;
        if (input.flag && !IsWindowEnabled(input.hwnd)) {
            // A disabled window is not activated: what it owns and blocks on
            // (a modal dialog) comes forward instead.
            if (const HWND modal = EnabledOwnedWindow(input.hwnd); modal && core.active != modal) {
                Activate(modal, WA_ACTIVE, true);
            } else if (modal) {
                System().Activate(modal);
            }
        } else if (input.flag && core.active != input.hwnd) {
            Activate(input.hwnd, WA_ACTIVE, false);
        } else if (!input.flag && core.active == input.hwnd) {
            Activate(nullptr, WA_INACTIVE, false);
        }
        break;
    case RawInput::Kind::NativeFocus:
        if (IsWindow(input.hwnd) && core.focus != input.hwnd) SetFocus(input.hwnd);
        break;
    case RawInput::Kind::Configure:
        if (WindowRecord* record = Resolve(input.hwnd); record && record->IsTopLevel()) {
            RECT rect = input.rect;
            const WPARAM size_type = (record->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
            ApplyWindowRect(input.hwnd, rect, size_type, false, true);
        }
        break;
    case RawInput::Kind::ShowState:
        if (WindowRecord* record = Resolve(input.hwnd); record && record->IsTopLevel()) {
            const bool minimised = (record->style & WS_MINIMIZE) != 0;
            switch (input.show_state) {
            case ShowState::Minimised:
                if (!minimised) Minimise(input.hwnd);
                break;
            case ShowState::Maximised:
                if (!(record->style & WS_MAXIMIZE) || minimised) Maximise(input.hwnd);
                break;
            case ShowState::Normal:
                if (minimised || (record->style & WS_MAXIMIZE)) Restore(input.hwnd);
                break;
            }
        }
        break;
    case RawInput::Kind::Close:
        if (IsWindow(input.hwnd)) PostInternal(input.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case RawInput::Kind::GrabBroken: PopupGrabBrokenBySystem(input.hwnd); break;
    case RawInput::Kind::Expose: {
        RECT rect = input.rect;
        InvalidateRect(input.hwnd, &rect, 0);
        break;
    }
    }
    return true;
}

void PostLeaveIfTracked(HWND new_under_pointer) {
    CoreState& core = Core();
    if (core.tracking_leave && core.tracking_leave != new_under_pointer) {
        const HWND tracked = core.tracking_leave;
        core.tracking_leave = nullptr;
        if (IsWindow(tracked)) PostInternal(tracked, WM_MOUSELEAVE, 0, 0);
    }
}

void CancelLeaveTracking(HWND hwnd) {
    CoreState& core = Core();
    if (core.tracking_leave == hwnd) core.tracking_leave = nullptr;
}

void ForgetWindowInput(HWND hwnd) {
    CoreState& core = Core();
    CancelLeaveTracking(hwnd);
    if (core.capture == hwnd) core.capture = nullptr;
    if (core.under_pointer == hwnd) core.under_pointer = nullptr;
    if (core.last_click.hwnd == hwnd) core.last_click.valid = false;
}

void ReleaseLeftButtonAfterDrag() {
    CoreState& core = Core();
    core.key_state[VK_LBUTTON] &= static_cast<uint8_t>(~0x80);
    core.async_key_state[VK_LBUTTON] &= static_cast<uint8_t>(~0x80);
    core.last_click.valid = false;
    if (core.capture) ReleaseCapture();
}

namespace input {

void QueueMouseMove(HWND hwnd, POINT screen, InputState state) {
    NoteAsyncState(state);
    QueueRaw({.kind = RawInput::Kind::MouseMove, .hwnd = hwnd, .screen = screen, .state = state});
}

void QueueMouseButton(HWND hwnd, POINT screen, MouseButton button, bool pressed,
                      InputState state) {
    NoteAsyncState(state);
    InputState after = state;
    SetButtonInState(after, button, pressed);
    NoteAsyncState(after);
    QueueRaw({.kind = RawInput::Kind::MouseButton,
              .hwnd = hwnd,
              .screen = screen,
              .button = button,
              .flag = pressed,
              .state = state});
}

void QueueMouseWheel(HWND hwnd, POINT screen, int delta, InputState state) {
    NoteAsyncState(state);
    QueueRaw({.kind = RawInput::Kind::MouseWheel,
              .hwnd = hwnd,
              .screen = screen,
              .value = delta,
              .state = state});
}

void QueueMouseLeave(HWND hwnd) {
    QueueRaw({.kind = RawInput::Kind::MouseLeave, .hwnd = hwnd});
}

// A repeat is a press of a key already down, so `auto_repeat` changes nothing.
void QueueKey(HWND hwnd, int virtual_key, bool pressed, bool /*auto_repeat*/,
              std::string_view text, InputState state) {
    NoteAsyncState(state);
    if (virtual_key > 0 && virtual_key <= 255) {
        auto& async = Core().async_key_state[GenericKey(virtual_key)];
        async = static_cast<uint8_t>(pressed ? (async | 0x80) : (async & ~0x80));
    }
    QueueRaw({.kind = RawInput::Kind::Key,
              .hwnd = hwnd,
              .flag = pressed,
              .value = virtual_key,
              .state = state,
              .text = std::string(text.substr(0, kMaxInputText))});
}

void QueueImeCommit(HWND hwnd, std::string_view text) {
    if (text.empty()) return;
    QueueRaw({.kind = RawInput::Kind::ImeCommit,
              .hwnd = hwnd,
              .text = std::string(text.substr(0, kMaxInputText))});
}

void QueueActivation(HWND hwnd, bool active) {
    QueueRaw({.kind = RawInput::Kind::Activation, .hwnd = hwnd, .flag = active});
}

void QueueNativeFocus(HWND hwnd) {
    QueueRaw({.kind = RawInput::Kind::NativeFocus, .hwnd = hwnd});
}

void QueueConfigure(HWND hwnd, const RECT& screen_rect) {
    QueueRaw({.kind = RawInput::Kind::Configure, .hwnd = hwnd, .rect = screen_rect});
}

void QueueShowState(HWND hwnd, ShowState state) {
    QueueRaw({.kind = RawInput::Kind::ShowState, .hwnd = hwnd, .show_state = state});
}

void QueueCloseRequest(HWND hwnd) {
    QueueRaw({.kind = RawInput::Kind::Close, .hwnd = hwnd});
}

void QueueGrabBroken(HWND hwnd) {
    QueueRaw({.kind = RawInput::Kind::GrabBroken, .hwnd = hwnd});
}

void QueueExpose(HWND hwnd, const RECT& client_rect) {
    QueueRaw({.kind = RawInput::Kind::Expose, .hwnd = hwnd, .rect = client_rect});
}

}  // namespace input

HWND SetCapture(HWND hwnd) {
    CoreState& core = Core();
    if (!IsWindow(hwnd)) return nullptr;
    const HWND previous = IsWindow(core.capture) ? core.capture : nullptr;
    core.capture = hwnd;
    if (previous && previous != hwnd) {
        SendMessage(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    }
    return previous;
}

BOOL ReleaseCapture() {
    CoreState& core = Core();
    const HWND previous = core.capture;
    core.capture = nullptr;
    if (IsWindow(previous)) SendMessage(previous, WM_CAPTURECHANGED, 0, 0);
    return 1;
}

HWND GetCapture() {
    CoreState& core = Core();
    return IsWindow(core.capture) ? core.capture : nullptr;
}

BOOL GetCursorPos(POINT* point) {
    if (!point) return 0;
    CoreState& core = Core();
    if (core.system) {
        if (std::optional<POINT> position = core.system->PointerPosition()) {
            *point = *position;
            return 1;
        }
    }
    *point = core.cursor_pos;
    return 1;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !point) return 0;
    const POINT origin = ClientOriginOnScreen(*record);
    point->x -= origin.x;
    point->y -= origin.y;
    return 1;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !point) return 0;
    const POINT origin = ClientOriginOnScreen(*record);
    point->x += origin.x;
    point->y += origin.y;
    return 1;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
    CoreState& core = Core();
    if (!track) return 0;
    if (track->dwFlags & TME_QUERY) {
        track->dwFlags = core.tracking_leave ? TME_LEAVE : 0;
        track->hwndTrack = core.tracking_leave;
        return 1;
    }
    if (!(track->dwFlags & TME_LEAVE)) return track->dwFlags & TME_HOVER ? 1 : 0;
    if (!IsWindow(track->hwndTrack)) return 0;
    if (track->dwFlags & TME_CANCEL) {
        CancelLeaveTracking(track->hwndTrack);
        return 1;
    }
    if (core.under_pointer != track->hwndTrack) {
        // The pointer is not over the window: the leave is due at once.
        PostInternal(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
        return 1;
    }
    if (core.tracking_leave && core.tracking_leave != track->hwndTrack) {
        PostLeaveIfTracked(track->hwndTrack);
    }
    core.tracking_leave = track->hwndTrack;
    return 1;
}

HWND WindowFromPoint(POINT screen_point) { return HitTestScreen(screen_point, nullptr); }

UINT GetDoubleClickTime() { return kDoubleClickTime; }

int16_t GetKeyState(int virtual_key) {
    if (virtual_key <= 0 || virtual_key > 255) return 0;
    const uint8_t state = Core().key_state[GenericKey(virtual_key)];
    return static_cast<int16_t>(((state & 0x80) ? 0xFF80 : 0) | (state & 0x01));
}

int16_t GetAsyncKeyState(int virtual_key) {
    if (virtual_key <= 0 || virtual_key > 255) return 0;
    const uint8_t state = Core().async_key_state[GenericKey(virtual_key)];
    return static_cast<int16_t>((state & 0x80) ? 0x8000 : 0);
}

}  // namespace plat

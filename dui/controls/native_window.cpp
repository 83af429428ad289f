#include "dui/controls/native_window.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/file_drop.h"

namespace dui {
namespace {

struct Wrapped {
    ExNativeWindow* object = nullptr;   // null once the object let go of a window
                                        // someone else subclassed after it
    plat::WNDPROC previous = nullptr;
};

struct NativeWindowTables {
    std::unordered_map<plat::HWND, Wrapped> windows;
    std::unordered_map<plat::HWND, NativeMessageHook> hooks;
    std::unordered_map<plat::HWND, ReflectedHandler> reflected;
    bool wait_cursor = false;
};

NativeWindowTables& Tables() {
    static NativeWindowTables tables;
    return tables;
}

template <class Map>
void ForgetDeadWindows(Map& map) {
    std::erase_if(map, [](const auto& entry) { return !plat::IsWindow(entry.first); });
}

int Modifiers() {
    int modifiers = 0;
    if (plat::GetKeyState(plat::VK_CONTROL) < 0) modifiers |= kModifierControl;
    if (plat::GetKeyState(plat::VK_SHIFT) < 0) modifiers |= kModifierShift;
    if (plat::GetKeyState(plat::VK_MENU) < 0) modifiers |= kModifierAlt;
    return modifiers;
}

// Calls a copy of the handler, so a handler that destroys the object it
// belongs to does not destroy itself while running. A nonzero result
// consumes the message.
template <class Handler, class... Args>
std::optional<intptr_t> Consume(const Handler& handler, Args... args) {
    if (!handler) return std::nullopt;
    Handler call = handler;
    const intptr_t result = call(args...);
    if (result == 0) return std::nullopt;
    return result;
}

// Looks up the handler for a message reflected from `child`.
std::optional<intptr_t> Reflect(plat::HWND child, int code, int id, intptr_t lparam) {
    auto& reflected = Tables().reflected;
    auto it = reflected.find(child);
    if (it == reflected.end()) return std::nullopt;
    return Consume(it->second, child, code, id, lparam);
}

}  // namespace

ExNativeWindow::~ExNativeWindow() {
    if (m_created) {
        Destroy();
    } else {
        Detach();
    }
    // A window this object wrapped must never reach it again.
    for (auto& [window, wrapped] : Tables().windows) {
        if (wrapped.object == this) wrapped.object = nullptr;
    }
}

plat::HWND ExNativeWindow::Create(plat::HWND parent, plat::DWORD ex_style,
                                  std::string_view class_name, std::string_view text,
                                  plat::DWORD style, int x, int y, int width, int height,
                                  uintptr_t id, void* create_param) {
    if (m_hwnd != nullptr) return m_hwnd;
    const std::string class_text(class_name);
    const std::string window_text(text);
    plat::HWND window = plat::CreateWindowEx(
        ex_style, class_text.c_str(), window_text.c_str(), style | plat::WS_CLIPSIBLINGS, x, y,
        width, height, parent, reinterpret_cast<plat::HMENU>(id), plat::GetModuleHandle(nullptr),
        create_param);
    if (window == nullptr) return nullptr;
    if (!Wrap(window)) {
        plat::DestroyWindow(window);
        return nullptr;
    }
    m_created = true;
    return window;
}

bool ExNativeWindow::Attach(plat::HWND window) {
    if (m_hwnd != nullptr || !plat::IsWindow(window)) return false;
    if (!Wrap(window)) return false;
    m_created = false;
    return true;
}

bool ExNativeWindow::Wrap(plat::HWND window) {
    auto& windows = Tables().windows;
    ForgetDeadWindows(windows);
    if (auto it = windows.find(window); it != windows.end() && it->second.object != nullptr) {
        return false;
    }
    const auto previous = reinterpret_cast<plat::WNDPROC>(
        plat::SetWindowLongPtr(window, plat::GWLP_WNDPROC, reinterpret_cast<plat::LONG_PTR>(&SharedWindowProc)));
    if (previous == nullptr) return false;
    auto [it, inserted] = windows.try_emplace(window, Wrapped{this, previous});
    if (!inserted) {
        // Wrapped before by an object that let go while a later subclass sat
        // on top: the first previous procedure is still the one to call.
        it->second.object = this;
    }
    m_hwnd = window;
    m_tracking = false;
    return true;
}

void ExNativeWindow::Detach() {
    if (m_hwnd == nullptr) return;
    auto& windows = Tables().windows;
    if (auto it = windows.find(m_hwnd); it != windows.end()) {
        const auto current = reinterpret_cast<plat::WNDPROC>(plat::GetWindowLongPtr(m_hwnd, plat::GWLP_WNDPROC));
        if (current == &SharedWindowProc) {
            plat::SetWindowLongPtr(m_hwnd, plat::GWLP_WNDPROC,
                                   reinterpret_cast<plat::LONG_PTR>(it->second.previous));
            windows.erase(it);
        } else {
            // Someone subclassed after us: keep forwarding to our previous
            // procedure, without the object.
            it->second.object = nullptr;
        }
    }
    Forget();
}

void ExNativeWindow::Destroy() {
    if (m_hwnd == nullptr) return;
    plat::HWND window = m_hwnd;
    plat::DestroyWindow(window);
    // WM_NCDESTROY normally let go of the window already.
    if (m_hwnd == window) Detach();
}

void ExNativeWindow::Forget() {
    m_hwnd = nullptr;
    m_created = false;
    m_tracking = false;
    m_paint_canvas.reset();
}

ExNativeWindow* ExNativeWindow::FromHandle(plat::HWND window) {
    auto& windows = Tables().windows;
    auto it = windows.find(window);
    return it != windows.end() ? it->second.object : nullptr;
}

plat::LRESULT ExNativeWindow::SharedWindowProc(plat::HWND window, plat::UINT message,
                                               plat::WPARAM wparam, plat::LPARAM lparam) {
    NativeWindowTables& tables = Tables();
    if (message != plat::WM_QUIT) {
        if (auto it = tables.hooks.find(window); it != tables.hooks.end()) {
            if (auto result = Consume(it->second, window, message, wparam, lparam)) return *result;
        }
    }
    switch (message) {
        case plat::WM_COMMAND:
            if (lparam != 0) {
                if (auto result = Reflect(reinterpret_cast<plat::HWND>(lparam), plat::HIWORD(wparam),
                                          plat::LOWORD(wparam), lparam)) {
                    return *result;
                }
            }
            break;
        case plat::WM_HSCROLL:
        case plat::WM_VSCROLL:
            if (lparam != 0) {
                const auto child = reinterpret_cast<plat::HWND>(lparam);
                const auto id = static_cast<int>(plat::GetWindowLongPtr(child, plat::GWLP_ID));
                if (auto result = Reflect(child, plat::LOWORD(wparam), id, lparam)) return *result;
            }
            break;
        case plat::WM_NOTIFY:
            if (lparam != 0) {
                const auto* header = reinterpret_cast<const NotifyHeader*>(lparam);
                if (auto result = Reflect(header->from, static_cast<int>(header->code),
                                          static_cast<int>(header->id), lparam)) {
                    return *result;
                }
            }
            break;
        default: break;
    }

    auto it = tables.windows.find(window);
    if (it == tables.windows.end()) return plat::DefWindowProc(window, message, wparam, lparam);
    const Wrapped wrapped = it->second;
    if (message == plat::WM_NCDESTROY) {
        if (wrapped.object != nullptr) wrapped.object->Forget();
        tables.windows.erase(it);
        tables.hooks.erase(window);
        tables.reflected.erase(window);
        return plat::CallWindowProc(wrapped.previous, window, message, wparam, lparam);
    }
    if (wrapped.object != nullptr) {
        if (auto result = wrapped.object->HandleMessage(message, wparam, lparam)) return *result;
    }
    return plat::CallWindowProc(wrapped.previous, window, message, wparam, lparam);
}

std::optional<intptr_t> ExNativeWindow::HandleMessage(uint32_t message, uintptr_t wparam,
                                                      intptr_t lparam) {
    const int x = plat::GET_X_LPARAM(lparam);
    const int y = plat::GET_Y_LPARAM(lparam);
    switch (message) {
        case plat::WM_LBUTTONDOWN: return Consume(m_left_down, x, y, Modifiers());
        case plat::WM_LBUTTONUP: return Consume(m_left_up, x, y, Modifiers());
        case plat::WM_LBUTTONDBLCLK: return Consume(m_left_double, x, y, Modifiers());
        case plat::WM_RBUTTONDOWN: return Consume(m_right_down, x, y, Modifiers());
        case plat::WM_RBUTTONUP: return Consume(m_right_up, x, y, Modifiers());
        case plat::WM_MOUSEMOVE: {
            if ((m_mouse_enter || m_mouse_leave) && !m_tracking) {
                plat::TRACKMOUSEEVENT track;
                track.dwFlags = plat::TME_LEAVE;
                track.hwndTrack = m_hwnd;
                plat::TrackMouseEvent(&track);
                m_tracking = true;
                const plat::HWND window = m_hwnd;
                Consume(m_mouse_enter);
                if (FromHandle(window) != this) return 0;
            }
            return Consume(m_mouse_move, x, y, Modifiers());
        }
        case plat::WM_MOUSELEAVE:
            m_tracking = false;
            return Consume(m_mouse_leave);
        case plat::WM_MOUSEWHEEL:
            return Consume(m_wheel, plat::GET_WHEEL_DELTA_WPARAM(wparam), Modifiers());
        case plat::WM_SETFOCUS: return Consume(m_focus_got);
        case plat::WM_KILLFOCUS: return Consume(m_focus_lost);
        case plat::WM_KEYDOWN: return Consume(m_key_down, static_cast<int>(wparam), Modifiers());
        case plat::WM_KEYUP: return Consume(m_key_up, static_cast<int>(wparam), Modifiers());
        case plat::WM_CHAR: return Consume(m_character, static_cast<uint32_t>(wparam));
        case plat::WM_SETCURSOR:
            if (reinterpret_cast<plat::HWND>(wparam) == m_hwnd && plat::LOWORD(static_cast<uintptr_t>(lparam)) == plat::HTCLIENT &&
                SetCursorNow()) {
                return 1;
            }
            return std::nullopt;
        case plat::WM_PAINT:
            if (m_paint) return HandlePaint();
            return std::nullopt;
        case plat::WM_DROPFILES:
            if (m_files) return HandleDrop(wparam);
            return std::nullopt;
        default: return std::nullopt;
    }
}

std::optional<intptr_t> ExNativeWindow::HandleDrop(uintptr_t wparam) {
    const auto drop = reinterpret_cast<plat::HDROP>(wparam);
    const plat::UINT count = plat::DragQueryFile(drop, plat::kDragQueryCount, nullptr, 0);
    std::vector<std::string> files;
    files.reserve(count);
    for (plat::UINT i = 0; i < count; ++i) files.push_back(plat::DragQueryFileName(drop, i));
    plat::DragFinish(drop);
    if (files.empty()) return std::nullopt;
    return Consume(m_files, files);
}

std::optional<intptr_t> ExNativeWindow::HandlePaint() {
    const plat::HWND window = m_hwnd;
    plat::PAINTSTRUCT paint{};
    plat::BeginPaint(window, &paint);
    const plat::SIZE size = ClientSize();
    if (!m_paint_canvas || m_paint_canvas->Width() != size.cx || m_paint_canvas->Height() != size.cy) {
        m_paint_canvas = std::make_unique<ExCanvas>(size.cx, size.cy);
    }
    ExCanvas& canvas = *m_paint_canvas;
    NativePaintHandler handler = m_paint;
    const intptr_t result = handler(canvas, paint.rcPaint);
    if (result != 0 && FromHandle(window) == this && m_paint_canvas.get() == &canvas) {
        const PixelView pixels = canvas.Pixels();
        plat::Present(window, plat::SurfaceView{pixels.data, pixels.width, pixels.height, pixels.stride},
                      paint.rcPaint);
    }
    plat::EndPaint(window, &paint);
    if (result == 0) return std::nullopt;
    return result;
}

bool ExNativeWindow::SetCursorNow() {
    if (Tables().wait_cursor) {
        plat::SetCursor(plat::LoadCursor(nullptr, plat::IDC_WAIT));
        return true;
    }
    if (m_cursor == nullptr) return false;
    plat::SetCursor(m_cursor);
    return true;
}

plat::HCURSOR ExNativeWindow::Cursor(plat::HCURSOR cursor) {
    m_cursor = cursor;
    return m_cursor;
}

plat::HCURSOR ExNativeWindow::Cursor(plat::CursorId system_cursor) {
    return Cursor(plat::LoadCursor(nullptr, system_cursor));
}

bool ExNativeWindow::WaitCursor() { return Tables().wait_cursor; }

bool ExNativeWindow::WaitCursor(bool on) {
    Tables().wait_cursor = on;
    return on;
}

void ExNativeWindow::SetMessageHook(plat::HWND window, NativeMessageHook hook) {
    auto& hooks = Tables().hooks;
    ForgetDeadWindows(hooks);
    if (hook && plat::IsWindow(window)) {
        hooks[window] = std::move(hook);
    } else {
        hooks.erase(window);
    }
}

void ExNativeWindow::SetReflectedHandler(plat::HWND child, ReflectedHandler handler) {
    auto& reflected = Tables().reflected;
    ForgetDeadWindows(reflected);
    if (handler && plat::IsWindow(child)) {
        reflected[child] = std::move(handler);
    } else {
        reflected.erase(child);
    }
}

// --- Window operations ---

bool ExNativeWindow::Visible() const { return m_hwnd != nullptr && plat::IsWindowVisible(m_hwnd); }

bool ExNativeWindow::Visible(bool show) {
    if (m_hwnd == nullptr) return false;
    plat::ShowWindow(m_hwnd, show ? plat::SW_SHOW : plat::SW_HIDE);
    return Visible();
}

bool ExNativeWindow::Enabled() const { return m_hwnd != nullptr && plat::IsWindowEnabled(m_hwnd); }

bool ExNativeWindow::Enabled(bool enable) {
    if (m_hwnd == nullptr) return false;
    plat::EnableWindow(m_hwnd, enable);
    return Enabled();
}

bool ExNativeWindow::Move(int x, int y, int width, int height, bool repaint) {
    return m_hwnd != nullptr && plat::MoveWindow(m_hwnd, x, y, width, height, repaint);
}

plat::RECT ExNativeWindow::Rect() const {
    plat::RECT rect{};
    if (m_hwnd == nullptr || !plat::GetWindowRect(m_hwnd, &rect)) return {};
    if (plat::HWND parent = plat::GetAncestor(m_hwnd, plat::GA_PARENT);
        parent != nullptr && (Style() & plat::WS_CHILD)) {
        plat::POINT top_left{rect.left, rect.top};
        plat::POINT bottom_right{rect.right, rect.bottom};
        plat::ScreenToClient(parent, &top_left);
        plat::ScreenToClient(parent, &bottom_right);
        rect = plat::RECT{top_left.x, top_left.y, bottom_right.x, bottom_right.y};
    }
    return rect;
}

plat::SIZE ExNativeWindow::ClientSize() const {
    plat::RECT rect{};
    if (m_hwnd == nullptr || !plat::GetClientRect(m_hwnd, &rect)) return {};
    return plat::SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

std::string ExNativeWindow::Text() const {
    return m_hwnd != nullptr ? plat::GetWindowText(m_hwnd) : std::string();
}

bool ExNativeWindow::Text(std::string_view text) {
    if (m_hwnd == nullptr) return false;
    const std::string copy(text);
    return plat::SetWindowText(m_hwnd, copy.c_str()) != 0;
}

plat::DWORD ExNativeWindow::Style() const {
    return m_hwnd != nullptr ? static_cast<plat::DWORD>(plat::GetWindowLongPtr(m_hwnd, plat::GWL_STYLE)) : 0;
}

plat::DWORD ExNativeWindow::Style(plat::DWORD style) {
    if (m_hwnd == nullptr) return 0;
    plat::SetWindowLongPtr(m_hwnd, plat::GWL_STYLE, static_cast<plat::LONG_PTR>(style));
    return Style();
}

plat::DWORD ExNativeWindow::ExStyle() const {
    return m_hwnd != nullptr ? static_cast<plat::DWORD>(plat::GetWindowLongPtr(m_hwnd, plat::GWL_EXSTYLE)) : 0;
}

plat::DWORD ExNativeWindow::ExStyle(plat::DWORD ex_style) {
    if (m_hwnd == nullptr) return 0;
    plat::SetWindowLongPtr(m_hwnd, plat::GWL_EXSTYLE, static_cast<plat::LONG_PTR>(ex_style));
    return ExStyle();
}

plat::HANDLE ExNativeWindow::Property(std::string_view name) const {
    if (m_hwnd == nullptr) return nullptr;
    return plat::GetProp(m_hwnd, std::string(name).c_str());
}

bool ExNativeWindow::Property(std::string_view name, plat::HANDLE value) {
    return m_hwnd != nullptr && plat::SetProp(m_hwnd, std::string(name).c_str(), value);
}

plat::HANDLE ExNativeWindow::RemoveProperty(std::string_view name) {
    if (m_hwnd == nullptr) return nullptr;
    return plat::RemoveProp(m_hwnd, std::string(name).c_str());
}

plat::HWND ExNativeWindow::Parent() const { return m_hwnd != nullptr ? plat::GetParent(m_hwnd) : nullptr; }

plat::HWND ExNativeWindow::Parent(plat::HWND new_parent) {
    return m_hwnd != nullptr ? plat::SetParent(m_hwnd, new_parent) : nullptr;
}

bool ExNativeWindow::Focus() {
    if (m_hwnd == nullptr) return false;
    plat::SetFocus(m_hwnd);
    return HasFocus();
}

bool ExNativeWindow::HasFocus() const { return m_hwnd != nullptr && plat::GetFocus() == m_hwnd; }

bool ExNativeWindow::Redraw(std::optional<plat::RECT> rect, bool now) {
    if (m_hwnd == nullptr) return false;
    plat::InvalidateRect(m_hwnd, rect ? &*rect : nullptr, 1);
    if (now) plat::UpdateWindow(m_hwnd);
    return true;
}

bool ExNativeWindow::RoundRegion(int corner_diameter) {
    if (m_hwnd == nullptr) return false;
    const plat::SIZE size = ClientSize();
    const int corner = std::max(0, corner_diameter);
    plat::HRGN region = corner > 0 ? plat::CreateRoundRectRgn(0, 0, size.cx + 1, size.cy + 1, corner, corner)
                                   : plat::CreateRectRgn(0, 0, size.cx, size.cy);
    if (region == nullptr) return false;
    if (plat::SetWindowRgn(m_hwnd, region, 1) == 0) {
        plat::DeleteObject(region);
        return false;
    }
    return true;
}

bool ExNativeWindow::ClearRegion() {
    return m_hwnd != nullptr && plat::SetWindowRgn(m_hwnd, nullptr, 1) != 0;
}

bool ExNativeWindow::AcceptFiles(bool accept) {
    if (m_hwnd == nullptr) return false;
    plat::DragAcceptFiles(m_hwnd, accept);
    return AcceptsFiles();
}

bool ExNativeWindow::AcceptsFiles() const { return (ExStyle() & plat::WS_EX_ACCEPTFILES) != 0; }

plat::HCURSOR ExNativeWindow::ClassCursor(plat::HCURSOR cursor) {
    if (m_hwnd == nullptr) return nullptr;
    return reinterpret_cast<plat::HCURSOR>(
        plat::SetClassLongPtr(m_hwnd, plat::GCLP_HCURSOR, reinterpret_cast<plat::LONG_PTR>(cursor)));
}

plat::HICON ExNativeWindow::ClassIcon(plat::HICON icon) {
    if (m_hwnd == nullptr) return nullptr;
    return reinterpret_cast<plat::HICON>(
        plat::SetClassLongPtr(m_hwnd, plat::GCLP_HICON, reinterpret_cast<plat::LONG_PTR>(icon)));
}

intptr_t ExNativeWindow::Send(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return m_hwnd != nullptr ? plat::SendMessage(m_hwnd, message, wparam, lparam) : 0;
}

bool ExNativeWindow::Post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return m_hwnd != nullptr && plat::PostMessage(m_hwnd, message, wparam, lparam);
}

}  // namespace dui

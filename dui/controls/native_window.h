#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dui/core/canvas.h"
#include "platform/platform.h"

// A native child window of a host window (the embedded browser is one),
// created or adopted by an ExNativeWindow that subclasses it with one shared
// window procedure and turns its messages into calls of the handlers stored
// in the object. It is not a control: it has a native window of its own.
//
// Message path of a wrapped window: the window's message hook (if one is
// registered) first, a nonzero result is returned at once; then WM_COMMAND,
// WM_NOTIFY, WM_HSCROLL and WM_VSCROLL coming from a child window go to the
// reflected handler registered for that child, a nonzero result is
// returned; then the object's HandleMessage runs the matching handler, and
// a nonzero handler result is the message's result; everything else goes on
// to the window's previous procedure.
//
// A handler may destroy the window or the object: the procedure looks the
// object up again after every call.
namespace dui {

// Modifier keys held when a message arrived.
inline constexpr int kModifierControl = 1;
inline constexpr int kModifierShift = 2;
inline constexpr int kModifierAlt = 4;

// Handlers return nonzero to consume the message.
using NativeMouseHandler = std::function<intptr_t(int x, int y, int modifiers)>;  // client coordinates
using NativeKeyHandler = std::function<intptr_t(int virtual_key, int modifiers)>;
using NativeCharHandler = std::function<intptr_t(uint32_t character)>;
using NativeWheelHandler = std::function<intptr_t(int delta, int modifiers)>;
using NativeNotifyHandler = std::function<intptr_t()>;
using NativeFilesHandler = std::function<intptr_t(const std::vector<std::string>& files)>;
// Draws into a canvas of the window's client size; what lies in the paint
// rectangle is put on screen when the handler returns nonzero.
using NativePaintHandler = std::function<intptr_t(ExCanvas& canvas, const plat::RECT& paint_rect)>;

// Sees every message of one wrapped window first.
using NativeMessageHook = std::function<intptr_t(plat::HWND, uint32_t, uintptr_t, intptr_t)>;
// A message reflected from a child window to its parent: (child,
// notification code, child identifier, lparam of the message).
using ReflectedHandler = std::function<intptr_t(plat::HWND child, int code, int id, intptr_t lparam)>;

// lparam of WM_NOTIFY: who sent it and what happened.
struct NotifyHeader {
    plat::HWND from = nullptr;
    uintptr_t id = 0;
    uint32_t code = 0;
};

class ExNativeWindow {
public:
    ExNativeWindow() = default;
    // Destroys a window the object created; hands an adopted one back to
    // its previous procedure.
    virtual ~ExNativeWindow();
    ExNativeWindow(const ExNativeWindow&) = delete;
    ExNativeWindow& operator=(const ExNativeWindow&) = delete;

    // Creates the window (the style gets WS_CLIPSIBLINGS added) and wraps
    // it. Nothing happens while the object has a window: the existing one
    // is returned. nullptr when creation fails.
    plat::HWND Create(plat::HWND parent, plat::DWORD ex_style, std::string_view class_name,
                      std::string_view text, plat::DWORD style, int x, int y, int width,
                      int height, uintptr_t id = 0, void* create_param = nullptr);
    // Wraps an existing window. False when the window does not exist, the
    // object already has one or another object wraps it.
    bool Attach(plat::HWND window);
    // Stops wrapping the window without destroying it.
    void Detach();
    // Destroys the window; the object can create a new one afterwards.
    void Destroy();

    // The wrapped window; nullptr once it is destroyed.
    plat::HWND Handle() const { return m_hwnd; }

    void OnLeftButtonDown(NativeMouseHandler handler) { m_left_down = std::move(handler); }
    void OnLeftButtonUp(NativeMouseHandler handler) { m_left_up = std::move(handler); }
    void OnLeftDoubleClick(NativeMouseHandler handler) { m_left_double = std::move(handler); }
    void OnRightButtonDown(NativeMouseHandler handler) { m_right_down = std::move(handler); }
    void OnRightButtonUp(NativeMouseHandler handler) { m_right_up = std::move(handler); }
    void OnMouseMove(NativeMouseHandler handler) { m_mouse_move = std::move(handler); }
    void OnFocusGot(NativeNotifyHandler handler) { m_focus_got = std::move(handler); }
    void OnFocusLost(NativeNotifyHandler handler) { m_focus_lost = std::move(handler); }
    void OnKeyDown(NativeKeyHandler handler) { m_key_down = std::move(handler); }
    void OnKeyUp(NativeKeyHandler handler) { m_key_up = std::move(handler); }
    void OnCharacter(NativeCharHandler handler) { m_character = std::move(handler); }
    void OnWheel(NativeWheelHandler handler) { m_wheel = std::move(handler); }
    // Files dropped on the window, whole paths (AcceptFiles turns drops on).
    void OnFilesDropped(NativeFilesHandler handler) { m_files = std::move(handler); }
    // Enter and leave: the first mouse move after the pointer came in asks
    // for a leave notification; either handler alone is enough for both.
    void OnMouseEnter(NativeNotifyHandler handler) { m_mouse_enter = std::move(handler); }
    void OnMouseLeave(NativeNotifyHandler handler) { m_mouse_leave = std::move(handler); }
    void OnPaint(NativePaintHandler handler) { m_paint = std::move(handler); }
    bool MouseInside() const { return m_tracking; }

    // The pointer shape over the client area (nullptr = the window's own).
    plat::HCURSOR Cursor() const { return m_cursor; }
    plat::HCURSOR Cursor(plat::HCURSOR cursor);
    plat::HCURSOR Cursor(plat::CursorId system_cursor);
    // While on, every wrapped window shows the wait cursor.
    static bool WaitCursor();
    static bool WaitCursor(bool on);

    // Process-wide tables. A hook or handler set for a window that later
    // goes away is dropped with it; an empty function removes one.
    static void SetMessageHook(plat::HWND window, NativeMessageHook hook);
    static void SetReflectedHandler(plat::HWND child, ReflectedHandler handler);
    // The object wrapping a window, or null.
    static ExNativeWindow* FromHandle(plat::HWND window);

    // Window operations; without a window they do nothing and return
    // false, 0 or empty.
    bool Visible() const;
    bool Visible(bool show);
    bool Enabled() const;
    bool Enabled(bool enable);
    bool Move(int x, int y, int width, int height, bool repaint = true);   // parent coordinates
    plat::RECT Rect() const;         // parent client coordinates (screen for a top level)
    plat::SIZE ClientSize() const;
    std::string Text() const;
    bool Text(std::string_view text);
    plat::DWORD Style() const;
    plat::DWORD Style(plat::DWORD style);
    plat::DWORD ExStyle() const;
    plat::DWORD ExStyle(plat::DWORD ex_style);
    plat::HANDLE Property(std::string_view name) const;
    bool Property(std::string_view name, plat::HANDLE value);
    plat::HANDLE RemoveProperty(std::string_view name);
    plat::HWND Parent() const;
    plat::HWND Parent(plat::HWND new_parent);   // returns the old parent
    bool Focus();
    bool HasFocus() const;
    // Invalidates the client area (all of it without a rectangle) and, when
    // asked, paints at once.
    bool Redraw(std::optional<plat::RECT> rect = std::nullopt, bool now = false);
    // Shapes the window as a rounded rectangle of its size; corner 0 = square.
    bool RoundRegion(int corner_diameter);
    bool ClearRegion();
    bool AcceptFiles(bool accept);
    bool AcceptsFiles() const;
    plat::HCURSOR ClassCursor(plat::HCURSOR cursor);
    plat::HICON ClassIcon(plat::HICON icon);
    intptr_t Send(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);
    bool Post(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);

protected:
    // The object's own message routine: runs the matching handler. A value
    // is the message's result; nullopt passes it to the previous procedure.
    // Derived classes extend it and call the base for what they leave.
    virtual std::optional<intptr_t> HandleMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);

private:
    static plat::LRESULT SharedWindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wparam,
                                          plat::LPARAM lparam);
    bool Wrap(plat::HWND window);
    void Forget();
    std::optional<intptr_t> HandleDrop(uintptr_t drop);
    std::optional<intptr_t> HandlePaint();
    bool SetCursorNow();

    plat::HWND m_hwnd = nullptr;
    bool m_created = false;   // the object made the window and destroys it
    plat::HCURSOR m_cursor = nullptr;
    bool m_tracking = false;
    std::unique_ptr<ExCanvas> m_paint_canvas;

    NativeMouseHandler m_left_down, m_left_up, m_left_double, m_right_down, m_right_up, m_mouse_move;
    NativeNotifyHandler m_focus_got, m_focus_lost;
    NativeKeyHandler m_key_down, m_key_up;
    NativeCharHandler m_character;
    NativeWheelHandler m_wheel;
    NativeFilesHandler m_files;
    NativeNotifyHandler m_mouse_enter, m_mouse_leave;
    NativePaintHandler m_paint;
};

}  // namespace dui

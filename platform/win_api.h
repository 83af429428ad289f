#pragma once
// The window-system calls of the program, with their Windows names, argument
// orders and semantics. Texts are GBK. Everything runs on the one GUI thread.
// Calls taking a window handle that names no live window fail harmlessly
// (0, false, empty), as on Windows.
//
// Message order of GetMessage/PeekMessage (as on Windows): posted messages in
// posting order, then WM_QUIT when PostQuitMessage was called, then input
// (mouse, keyboard, IME, activation, window moves from the backend), then
// WM_PAINT for windows with an invalid region, then WM_TIMER for due timers.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace plat {

// Window classes. Class names compare case-insensitively; registering a name
// twice fails (returns 0).
ATOM RegisterClass(const WNDCLASS* window_class);
ATOM RegisterClassEx(const WNDCLASSEX* window_class);
BOOL UnregisterClass(LPCSTR class_name, HINSTANCE instance);
BOOL GetClassInfoEx(HINSTANCE instance, LPCSTR class_name, WNDCLASSEX* out);
int GetClassName(HWND hwnd, char* buffer, int buffer_size);
uintptr_t GetClassLongPtr(HWND hwnd, int index);
uintptr_t SetClassLongPtr(HWND hwnd, int index, LONG_PTR value);
HINSTANCE GetModuleHandle(LPCSTR module_name);  // nullptr: the program

// Creation and destruction. CreateWindowEx sends WM_NCCREATE then WM_CREATE
// (lParam: CREATESTRUCT*); WM_NCCREATE returning 0 or WM_CREATE returning -1
// destroys the window and yields nullptr. WM_SIZE and WM_MOVE follow, and
// WS_VISIBLE shows the window. For WS_CHILD windows `parent` is the parent
// and `menu` the control id; for others `parent` is the owner.
// DestroyWindow destroys owned windows first, then sends WM_DESTROY to the
// window and then to its children (parents before children), then
// WM_NCDESTROY to the children and last to the window itself.
HWND CreateWindowEx(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                    int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetParent(HWND hwnd);           // the parent of a child, the owner of a popup
HWND GetAncestor(HWND hwnd, UINT flags);   // GA_PARENT, GA_ROOT, GA_ROOTOWNER
// Moves a child window under another parent (not out of its top-level
// window when it holds native children); returns the old parent.
HWND SetParent(HWND child, HWND new_parent);
BOOL EnableWindow(HWND hwnd, BOOL enable);   // returns whether it WAS disabled
BOOL IsWindowEnabled(HWND hwnd);

// Window procedures. SetWindowLongPtr(GWLP_WNDPROC) returns the previous
// procedure, which a subclass passes messages on to with CallWindowProc.
LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CallWindowProc(WNDPROC procedure, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);

// Window properties (names compare case-insensitively).
BOOL SetProp(HWND hwnd, LPCSTR name, HANDLE data);
HANDLE GetProp(HWND hwnd, LPCSTR name);
HANDLE RemoveProp(HWND hwnd, LPCSTR name);

// Messages and loops. SendMessage calls the window procedure at once.
// GetMessage blocks until a message is available (returns 0 for WM_QUIT, -1
// for an invalid window filter); PeekMessage never blocks. A quit request is
// consumed by the first GetMessage/PeekMessage that sees it, so it ends the
// innermost running loop only. A null hwnd filter takes every message.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
BOOL PostMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
BOOL GetMessage(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max);
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
void PostQuitMessage(int exit_code);
BOOL WaitMessage();
DWORD GetMessageTime();

// Timers: one per (window, id); setting an existing one re-arms it. WM_TIMER
// is generated when due and nothing else is waiting; a late timer yields one
// WM_TIMER, never a burst. Intervals below 10 ms count as 10 ms. A null
// window gets a fresh id. A TIMERPROC, when given, is called by
// DispatchMessage instead of the window procedure.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC procedure);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Mouse. Coordinates in mouse messages are client coordinates packed as two
// signed 16-bit words; wheel messages carry screen coordinates and the delta
// in the high word of wParam. While a window has the capture it receives all
// mouse input, also outside itself.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL GetCursorPos(POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
HWND WindowFromPoint(POINT screen_point);
UINT GetDoubleClickTime();

// Keyboard state: high bit (the value is negative) while down; low bit of
// GetKeyState toggles with each press. GetKeyState reflects the messages
// retrieved so far, GetAsyncKeyState the latest input.
int16_t GetKeyState(int virtual_key);
int16_t GetAsyncKeyState(int virtual_key);

// Focus and activation.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();

// Input method. Each window starts associated with the one input context;
// detaching it (ImmAssociateContext with nullptr) means committed non-ASCII
// text is not delivered to that window. Result strings are GBK.
HIMC ImmGetContext(HWND hwnd);
BOOL ImmReleaseContext(HWND hwnd, HIMC context);
HIMC ImmAssociateContext(HWND hwnd, HIMC context);
LONG ImmGetCompositionString(HIMC context, DWORD index, void* buffer, DWORD buffer_bytes);

// The system caret: invisible here; it places the input-method window.
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* point);
BOOL DestroyCaret();

// Geometry. Top-level windows have no non-client area: the client rectangle
// is the whole window. Child rectangles are relative to the parent's client.
BOOL GetWindowRect(HWND hwnd, RECT* rect);   // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
BOOL ShowWindow(HWND hwnd, int command);   // returns whether it WAS visible
BOOL IsWindowVisible(HWND hwnd);           // itself and every ancestor visible
BOOL IsZoomed(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL SystemParametersInfo(UINT action, UINT uiparam, void* pvparam, UINT winini);
int GetSystemMetrics(int index);

// Window text (WM_SETTEXT / WM_GETTEXT through the window procedure).
BOOL SetWindowText(HWND hwnd, LPCSTR text);
int GetWindowText(HWND hwnd, char* buffer, int buffer_size);
int GetWindowTextLength(HWND hwnd);
std::string GetWindowText(HWND hwnd);

// Painting. WM_PAINT is generated while a window has an invalid region and
// nothing else is waiting; BeginPaint reports the region's bounds in
// PAINTSTRUCT.rcPaint and validates it. A window is invalidated whole when it
// is shown or resized. UpdateWindow sends WM_PAINT at once when needed.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);   // nullptr: all
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND hwnd);
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);   // RDW_*
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);

// Regions: only what windows are shaped with. SetWindowRgn takes ownership
// of the region (nullptr removes the shape); DeleteObject frees one still
// owned by the caller.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipse_width,
                        int ellipse_height);
BOOL DeleteObject(HRGN region);
int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw);
BOOL PtInRegion(HRGN region, int x, int y);

// Cursors. LoadCursor knows the system cursors only (instance nullptr).
// SetCursor changes the shape shown over the program's windows now; windows
// normally set it from WM_SETCURSOR, which precedes every WM_MOUSEMOVE.
HCURSOR LoadCursor(HINSTANCE instance, CursorId id);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// Icons: ARGB pixels kept by the layer (premultiplied, native endian).
HICON CreateIconFromPixels(const uint32_t* pixels, int width, int height);
BOOL GetIconPixels(HICON icon, const uint32_t** pixels, int* width, int* height);
BOOL DestroyIcon(HICON icon);

// Clipboard text: GBK here, UTF-8 on the system. Characters GBK lacks become
// "?"; malformed bytes never stop the conversion.
bool SetClipboardText(std::string_view gbk);
std::string GetClipboardText();
bool ClipboardHasText();

// Tooltips: at most one tool per owner window. It pops up after the pointer
// rests on `rect` (owner client coordinates) for GetDoubleClickTime() and
// hides when the pointer leaves the rect, a button is pressed, a key goes
// down or the tool goes away. max_width 0 = no wrapping width.
bool AddTool(HWND owner, const RECT& rect, std::string_view text, int max_width = 0);
bool UpdateTool(HWND owner, const RECT& rect, std::string_view text);
bool RemoveTool(HWND owner);

BOOL MessageBeep(UINT type);
DWORD GetTickCount();
uint64_t GetTickCount64();
void Sleep(DWORD milliseconds);   // does not process messages, as on Windows

// Rectangle helpers.
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL IsRectEmpty(const RECT* rect);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b);
BOOL OffsetRect(RECT* rect, int dx, int dy);

}  // namespace plat

#pragma once

#include <cstdint>

// Messages of the widget framework. Controls receive the system's own window
// messages (WM_CREATE, WM_PAINT, mouse and keyboard messages, ...) from the
// platform layer's numbering, plus the custom messages below, numbered from
// 0x2800. Some of them are also understood by a host window's procedure;
// their arguments are described there (dui/core/host_window.h).
namespace dui {

// Result of a message procedure or hook that did not handle the message:
// the default handling continues.
inline constexpr intptr_t kNotHandled = -1;

// A WM_LBUTTONDOWN with this wparam is a double click: the host turns
// WM_LBUTTONDBLCLK into it.
inline constexpr uintptr_t DOUBLECLICK_MARKER = 10086;

// Sent to a control.                                  wparam / lparam
inline constexpr uint32_t EX_MSG_SETFOCUS = 0x2800;       // mouse wparam or 0 / previous focus
inline constexpr uint32_t EX_MSG_KILLFOCUS = 0x2801;      // mouse wparam or 0 / new focus
inline constexpr uint32_t EX_MSG_MOUSEENTER = 0x2802;     // mouse wparam / previous hover control
inline constexpr uint32_t EX_MSG_MOUSELEAVE = 0x2803;     // mouse wparam or 0 / control now hovered or 0
inline constexpr uint32_t EX_MSG_CLICK = 0x2804;          // the control or 0 / mouse lparam or 0
inline constexpr uint32_t EX_MSG_SIZED = 0x2805;          // new width / new height
inline constexpr uint32_t EX_MSG_HIDDEN = 0x2806;         // 0 / 0
inline constexpr uint32_t EX_MSG_SHOWN = 0x2807;          // 0 / 0
inline constexpr uint32_t EX_MSG_CUSTOMDRAW = 0x2808;     // 0 / const CompositionRecord*; > 0 = drawn
inline constexpr uint32_t EX_MSG_ACCEPTPRESS = 0x280A;    // mouse wparam / mouse lparam; != -1 accepts
inline constexpr uint32_t EX_MSG_ENABLECHANGED = 0x280E;  // 0 / 1 = now disabled
inline constexpr uint32_t EX_MSG_MOVED = 0x2811;          // 0 / 0 (after the host was told)
inline constexpr uint32_t EX_MSG_QUERYFOCUS = 0x2814;     // 0 / 0; != -1 answers HasFocus
inline constexpr uint32_t EX_MSG_ALPHACHANGED = 0x2815;   // 0 / new alpha
inline constexpr uint32_t EX_MSG_REPAINTSTATE = 0x2816;   // 0 / 0
inline constexpr uint32_t EX_MSG_HEADERCLICK = 0x2819;    // column (1-based) / 0: a list's column header was clicked

// Sent or posted to a host window (its native handle).
//   EX_MSG_SETFOCUS     lparam = control: focus moves to it (no keyboard cue)
//   EX_MSG_HOTKEY       wparam = control, lparam = character (0 removes); returns 1
//   EX_MSG_UPDATELAYERED push the back buffer to a layered window
//   EX_MSG_REDRAWRECT   wparam = redraw mode, lparam = PackRect(rectangle)
//   EX_MSG_MOVED        wparam = control, lparam = 1 when the old and new
//                       bounds are to be redrawn
//   EX_MSG_CONTROLMSG   wparam = control, lparam = ticket of a marshalled
//                       message (see ExControl::SendControlMessage)
//   EX_MSG_FRAME        posted by the host to itself with the first request
//                       of a frame: paint the dirty controls, compose and
//                       present once (see ExHostWindow::ComposeFrame)
inline constexpr uint32_t EX_MSG_HOTKEY = 0x280B;
inline constexpr uint32_t EX_MSG_UPDATELAYERED = 0x280D;
inline constexpr uint32_t EX_MSG_REDRAWRECT = 0x2810;
inline constexpr uint32_t EX_MSG_CONTROLMSG = 0x2817;
inline constexpr uint32_t EX_MSG_FRAME = 0x2818;

// The system messages a control receives besides input, with their meaning
// here:
//   WM_CREATE, WM_DESTROY   end of Create, start of Destroy
//   WM_PAINT                paint into the canvas (BeginPaint .. EndPaint);
//                           sent at the next frame after Invalidate, or at
//                           once by PaintNow and by a size change
//   WM_TIMER                the control's own timer (id = its handle)
//   WM_KILLFOCUS            the focused control's window lost the keyboard
//                           focus (wparam = the window taking it); the
//                           control stays focused within its host
//   WM_SETFOCUS             that window got the keyboard focus back

}  // namespace dui

#pragma once
// Keyboard translation from GDK key events to the virtual keys and typed
// text of Windows key messages, and of GDK modifier state.

#include <string>

#include <gdk/gdk.h>

#include "platform/backend.h"

namespace plat::gtk {

// The virtual-key code of a key event, or 0 when the key has none. Letters,
// digits and punctuation keys are named by the key, not by the character
// the modifiers make of it (Shift+1 is '1', not '!'), as Windows does.
int VirtualKeyFromEvent(const GdkEventKey& event);

// The mapping behind VirtualKeyFromEvent: `keyval` as the event reports it
// and `base_keyval`, the same physical key without modifiers (0 when
// unknown).
int VirtualKeyFromKeyval(guint keyval, guint base_keyval);

// What a key press types when no input method takes it (UTF-8, empty for
// keys that type nothing), following TranslateMessage: Ctrl+letter gives
// the control characters 1..26, Backspace 8, Enter 13, Esc 27, Delete and
// the cursor keys nothing.
std::string KeyText(guint keyval, GdkModifierType state);

// Modifier keys and mouse buttons held, from a GDK event's state.
InputState InputStateOf(guint gdk_state);

}  // namespace plat::gtk

#pragma once

#include <cstddef>
#include <cstdint>

// Identity of controls. A control is known to its host, to the application
// and to the timers of its host window only by its handle: an opaque nonzero
// number handed out when the control is created and never reused. Resolving
// the handle of a destroyed control yields null, so late timers, posted
// messages and stale links are dropped safely.
namespace dui {

class ExControl;

enum class ControlHandle : uintptr_t { None = 0 };

// Handles travel in message parameters, timer ids and texts as numbers.
constexpr uintptr_t Raw(ControlHandle handle) { return static_cast<uintptr_t>(handle); }
constexpr ControlHandle HandleFromParam(uintptr_t value) { return ControlHandle{value}; }

// The live-control table. Register hands out a fresh handle; Unregister
// forgets it; Resolve returns the live control or null.
ControlHandle RegisterControl(ExControl& control);
void UnregisterControl(ControlHandle handle);
ExControl* ResolveControl(ControlHandle handle);

// A fresh number from the same sequence for things that are not controls
// but must not collide with them (a host window's own timer id).
uintptr_t AllocateHandleNumber();

// Number of live controls (diagnostics and leak checks in tests).
std::size_t LiveControlCount();

}  // namespace dui

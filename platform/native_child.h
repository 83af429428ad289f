#pragma once
// Native child windows: child windows of registered classes whose content is
// a widget of the backend (the embedded browser). The layer keeps their
// window records like any window (messages, properties, geometry); the widget
// follows the window's placement, visibility and keyboard focus.

#include <functional>
#include <memory>

#include "platform/win_types.h"

namespace plat {

class NativeChild {
public:
    virtual ~NativeChild() = default;
    // The child's rectangle in its top-level window's client coordinates,
    // whenever it or an ancestor moves or resizes.
    virtual void Place(const RECT& rect_in_top_level) = 0;
    // Shown when the child and all its ancestors are visible.
    virtual void SetVisible(bool visible) = 0;
    // The keyboard focus moved to this child (SetFocus on its window).
    virtual void Focus() = 0;
};

// Called inside CreateWindowEx, before WM_NCCREATE, for a window of the
// class; `top_level` is the window's root. Returning nullptr fails creation.
using NativeChildFactory =
    std::function<std::unique_ptr<NativeChild>(HWND child, HWND top_level)>;

// Registers the class like RegisterClassEx and ties the factory to it.
// Windows of the class must be WS_CHILD. The widget is destroyed after the
// window's WM_NCDESTROY.
ATOM RegisterNativeChildClass(const WNDCLASSEX& window_class, NativeChildFactory factory);

// The widget of a native child window, or nullptr.
NativeChild* GetNativeChild(HWND hwnd);

}  // namespace plat

// Window classes, window records, creation and destruction, window
// procedures, window longs, properties and window text.

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

ClassRecord* FindClass(LPCSTR name) {
    if (!name) return nullptr;
    for (auto& record : Core().classes) {
        if (EqualNoCase(record->name, name)) return record.get();
    }
    return nullptr;
}

ATOM AddClass(const WNDCLASSEX& info, NativeChildFactory factory) {
    if (!info.lpszClassName || !*info.lpszClassName || FindClass(info.lpszClassName)) return 0;
    CoreState& core = Core();
    if (core.next_atom == 0xFFFF) return 0;
    auto record = std::make_unique<ClassRecord>();
    record->name = info.lpszClassName;
    record->info = info;
    record->info.lpszClassName = nullptr;
    record->info.lpszMenuName = nullptr;
    record->info.cbWndExtra = std::clamp(info.cbWndExtra, 0, 1024);
    if (!record->info.lpfnWndProc) record->info.lpfnWndProc = DefWindowProc;
    record->atom = core.next_atom++;
    record->native_factory = std::move(factory);
    const ATOM atom = record->atom;
    core.classes.push_back(std::move(record));
    return atom;
}

void RemoveFromParentList(WindowRecord& record) {
    CoreState& core = Core();
    if (record.IsChild()) {
        if (WindowRecord* parent = Resolve(record.parent)) {
            auto& list = parent->children;
            list.erase(std::remove(list.begin(), list.end(), record.handle), list.end());
        }
    } else {
        auto& list = core.top_levels;
        list.erase(std::remove(list.begin(), list.end(), record.handle), list.end());
    }
}

// Phase one of destruction: WM_DESTROY to the window, then its children.
void SendDestroyMessages(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || record->destroying) return;
    record->destroying = true;
    SendMessage(hwnd, WM_DESTROY, 0, 0);
    record = Resolve(hwnd);
    if (!record) return;
    const std::vector<HWND> children = record->children;
    for (HWND child : children) SendDestroyMessages(child);
}

// Phase two: WM_NCDESTROY to the children, then the window; then the record
// goes and the handle dies.
void FinishDestruction(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return;
    const std::vector<HWND> children = record->children;
    for (HWND child : children) FinishDestruction(child);
    SendMessage(hwnd, WM_NCDESTROY, 0, 0);
    record = Resolve(hwnd);
    if (!record) return;

    CoreState& core = Core();
    KillWindowTimers(hwnd);
    PurgeWindowMessages(hwnd);
    ForgetWindowTool(hwnd);
    ForgetWindowInput(hwnd);
    ForgetWindowFocus(hwnd);
    if (core.caret_owner == hwnd) core.caret_owner = nullptr;
    RemoveFromParentList(*record);
    record->native.reset();
    if (record->window_class) record->window_class->window_count -= 1;
    const bool top_level = record->IsTopLevel();
    FreeWindow(hwnd);
    if (top_level && core.system) core.system->DestroyTopLevel(hwnd);
}

HWND CreateWindowFrom(DWORD ex_style, ClassRecord* window_class, LPCSTR class_name,
                      LPCSTR window_name, DWORD style, int x, int y, int width, int height,
                      HWND parent, HMENU menu, HINSTANCE instance, void* param) {
    CoreState& core = Core();
    const bool child = (style & WS_CHILD) != 0;
    WindowRecord* parent_record = Resolve(parent);
    if (child && !parent_record) return nullptr;
    if (parent && (!parent_record || parent_record->destroying)) return nullptr;
    if (window_class->native_factory && !child) return nullptr;
    if (!core.system) System();   // reports the missing backend

    // Default placement, as Windows does for CW_USEDEFAULT.
    const RECT work = core.system->WorkArea();
    if (x == CW_USEDEFAULT) {
        x = child ? 0 : work.left + 26;
        y = child ? 0 : work.top + 26;
    }
    if (width == CW_USEDEFAULT) {
        width = child ? 0 : (work.right - work.left) * 3 / 4;
        height = child ? 0 : (work.bottom - work.top) * 3 / 4;
    }
    width = std::clamp(width, 0, kMaxWindowDimension);
    height = std::clamp(height, 0, kMaxWindowDimension);

    auto record = std::make_unique<WindowRecord>();
    record->window_class = window_class;
    record->procedure = window_class->info.lpfnWndProc;
    record->style = style & ~WS_VISIBLE;
    record->ex_style = ex_style;
    record->parent = parent_record ? (child ? parent : RootOf(parent)) : nullptr;
    record->id = child ? reinterpret_cast<UINT_PTR>(menu) : 0;
    record->instance = instance;
    record->rect = RECT{x, y, x + width, y + height};
    record->extra.assign(static_cast<size_t>(window_class->info.cbWndExtra), 0);
    record->surface.Resize(width, height);
    record->icon_big = nullptr;
    record->icon_small = nullptr;
    HWND hwnd = AllocateWindow(std::move(record));
    if (!hwnd) return nullptr;
    window_class->window_count += 1;

    if (child) {
        Resolve(parent)->children.push_back(hwnd);
    } else {
        core.top_levels.push_back(hwnd);   // new windows start on top
        NativeWindowParams params{RECT{x, y, x + width, y + height}, style & ~WS_VISIBLE,
                                  ex_style, GbkToUtf8Text(window_name ? window_name : ""),
                                  Resolve(parent) ? RootOf(parent) : nullptr};
        core.system->CreateTopLevel(hwnd, params);
        if (ex_style & WS_EX_LAYERED) core.system->SetLayered(hwnd, true);
        if (ex_style & WS_EX_TOPMOST) core.system->SetTopMost(hwnd, true);
        if (style & WS_DISABLED) core.system->SetEnabled(hwnd, false);
    }
    if (window_class->native_factory) {
        std::unique_ptr<NativeChild> widget = window_class->native_factory(hwnd, RootOf(hwnd));
        WindowRecord* created = Resolve(hwnd);
        if (!widget || !created) {
            DestroyWindow(hwnd);
            return nullptr;
        }
        created->native = std::move(widget);
        created->native->SetVisible(false);
        PlaceNativeChildren(RootOf(hwnd));
    }

    CREATESTRUCT create{param,
                        instance,
                        menu,
                        parent,
                        height,
                        width,
                        y,
                        x,
                        static_cast<LONG>(style),
                        window_name,
                        class_name,
                        ex_style};
    if (!SendMessage(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) || !IsWindow(hwnd)) {
        // Refused before it was created: only WM_NCDESTROY follows.
        if (WindowRecord* refused = Resolve(hwnd); refused && !refused->destroying) {
            refused->destroying = true;
            FinishDestruction(hwnd);
        }
        return nullptr;
    }
    if (SendMessage(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1 ||
        !IsWindow(hwnd)) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    WindowRecord* created = Resolve(hwnd);
    if (!created) return nullptr;
    const RECT rect = created->rect;
    SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    SendMessage(hwnd, WM_SIZE, SIZE_RESTORED,
                MAKELPARAM(rect.right - rect.left, rect.bottom - rect.top));
    if (!IsWindow(hwnd)) return nullptr;
    if (style & WS_MAXIMIZE) ShowWindow(hwnd, SW_MAXIMIZE);
    if (style & WS_MINIMIZE) ShowWindow(hwnd, SW_MINIMIZE);
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

}  // namespace

ATOM RegisterClassEx(const WNDCLASSEX* window_class) {
    if (!window_class) return 0;
    return AddClass(*window_class, nullptr);
}

ATOM RegisterClass(const WNDCLASS* window_class) {
    if (!window_class) return 0;
    WNDCLASSEX info;
    info.style = window_class->style;
    info.lpfnWndProc = window_class->lpfnWndProc;
    info.cbClsExtra = window_class->cbClsExtra;
    info.cbWndExtra = window_class->cbWndExtra;
    info.hInstance = window_class->hInstance;
    info.hIcon = window_class->hIcon;
    info.hCursor = window_class->hCursor;
    info.hbrBackground = window_class->hbrBackground;
    info.lpszMenuName = window_class->lpszMenuName;
    info.lpszClassName = window_class->lpszClassName;
    return AddClass(info, nullptr);
}

ATOM RegisterNativeChildClass(const WNDCLASSEX& window_class, NativeChildFactory factory) {
    if (!factory) return 0;
    return AddClass(window_class, std::move(factory));
}

NativeChild* GetNativeChild(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    return record ? record->native.get() : nullptr;
}

BOOL UnregisterClass(LPCSTR class_name, HINSTANCE) {
    ClassRecord* record = FindClass(class_name);
    if (!record || record->window_count > 0) return 0;
    auto& classes = Core().classes;
    classes.erase(std::find_if(classes.begin(), classes.end(),
                               [record](const auto& entry) { return entry.get() == record; }));
    return 1;
}

BOOL GetClassInfoEx(HINSTANCE, LPCSTR class_name, WNDCLASSEX* out) {
    ClassRecord* record = FindClass(class_name);
    if (!record || !out) return 0;
    *out = record->info;
    out->lpszClassName = record->name.c_str();
    return record->atom;
}

int GetClassName(HWND hwnd, char* buffer, int buffer_size) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !buffer || buffer_size <= 0) return 0;
    const std::string& name = record->window_class->name;
    const size_t count = std::min(name.size(), static_cast<size_t>(buffer_size - 1));
    std::memcpy(buffer, name.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

uintptr_t GetClassLongPtr(HWND hwnd, int index) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    const WNDCLASSEX& info = record->window_class->info;
    switch (index) {
    case GCLP_HCURSOR: return reinterpret_cast<uintptr_t>(info.hCursor);
    case GCLP_HICON: return reinterpret_cast<uintptr_t>(info.hIcon);
    case GCLP_HICONSM: return reinterpret_cast<uintptr_t>(info.hIconSm);
    case GCL_STYLE: return info.style;
    case GCLP_WNDPROC: return reinterpret_cast<uintptr_t>(info.lpfnWndProc);
    default: return 0;
    }
}

uintptr_t SetClassLongPtr(HWND hwnd, int index, LONG_PTR value) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    WNDCLASSEX& info = record->window_class->info;
    const uintptr_t previous = GetClassLongPtr(hwnd, index);
    switch (index) {
    case GCLP_HCURSOR: info.hCursor = reinterpret_cast<HCURSOR>(value); break;
    case GCLP_HICON: info.hIcon = reinterpret_cast<HICON>(value); break;
    case GCLP_HICONSM: info.hIconSm = reinterpret_cast<HICON>(value); break;
    case GCL_STYLE: info.style = static_cast<UINT>(value); break;
    case GCLP_WNDPROC: info.lpfnWndProc = reinterpret_cast<WNDPROC>(value); break;
    default: return 0;
    }
    return previous;
}

HINSTANCE GetModuleHandle(LPCSTR module_name) {
    static int program_instance;
    if (module_name) return nullptr;
    return reinterpret_cast<HINSTANCE>(&program_instance);
}

HWND CreateWindowEx(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                    int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    void* param) {
    ClassRecord* window_class = FindClass(class_name);
    if (!window_class) return nullptr;
    return CreateWindowFrom(ex_style, window_class, class_name, window_name, style, x, y, width,
                            height, parent, menu, instance, param);
}

BOOL DestroyWindow(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || record->destroying) return 0;
    CoreState& core = Core();

    // Owned top-level windows go first.
    if (record->IsTopLevel()) {
        std::vector<HWND> owned;
        for (HWND other : core.top_levels) {
            WindowRecord* candidate = Resolve(other);
            if (candidate && candidate->parent == hwnd) owned.push_back(other);
        }
        for (HWND other : owned) DestroyWindow(other);
        record = Resolve(hwnd);
        if (!record || record->destroying) return 0;
    }

    // Hide it: focus, capture and activation leave the subtree before any
    // WM_DESTROY, as on Windows.
    if (record->style & WS_VISIBLE) {
        record->style &= ~WS_VISIBLE;
        if (record->IsTopLevel()) {
            if (core.system) core.system->ShowTopLevel(hwnd, false, false);
        } else {
            InvalidateInParent(hwnd);
        }
        PlaceNativeChildren(RootOf(hwnd));
    }
    PopupGrabLost(hwnd);
    if (IsAncestorOrSelf(hwnd, core.capture)) ReleaseCapture();
    if (core.active == hwnd) ActivateAnotherThan(hwnd);
    if (IsAncestorOrSelf(hwnd, core.focus)) SetFocus(nullptr);
    if (!Resolve(hwnd) || Resolve(hwnd)->destroying) return IsWindow(hwnd) ? 0 : 1;

    SendDestroyMessages(hwnd);
    FinishDestruction(hwnd);
    return 1;
}

BOOL IsWindow(HWND hwnd) { return Resolve(hwnd) != nullptr; }

BOOL IsChild(HWND parent, HWND hwnd) {
    return parent != hwnd && Resolve(parent) && IsAncestorOrSelf(parent, hwnd);
}

HWND GetParent(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return nullptr;
    return Resolve(record->parent) ? record->parent : nullptr;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return nullptr;
    switch (flags) {
    case GA_PARENT: return record->IsChild() ? GetParent(hwnd) : nullptr;
    case GA_ROOT: return RootOf(hwnd);
    case GA_ROOTOWNER: {
        HWND current = RootOf(hwnd);
        for (int depth = 0; depth < 4096; ++depth) {
            HWND owner = GetParent(current);
            if (!owner) break;
            current = RootOf(owner);
        }
        return current;
    }
    default: return nullptr;
    }
}

namespace {

bool HasNativeChild(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return false;
    if (record->native) return true;
    for (HWND child : record->children) {
        if (HasNativeChild(child)) return true;
    }
    return false;
}

}  // namespace

HWND SetParent(HWND child, HWND new_parent) {
    WindowRecord* record = Resolve(child);
    WindowRecord* parent = Resolve(new_parent);
    if (!record || !parent || !record->IsChild() || record->destroying || parent->destroying) {
        return nullptr;
    }
    if (IsAncestorOrSelf(child, new_parent)) return nullptr;   // no cycles
    const HWND old_parent = record->parent;
    if (old_parent == new_parent) return old_parent;
    // A native widget lives in its top-level window's widget tree.
    if (RootOf(new_parent) != RootOf(child) && HasNativeChild(child)) return nullptr;
    const bool visible = (record->style & WS_VISIBLE) != 0;
    if (visible) InvalidateInParent(child);
    const HWND old_root = RootOf(child);
    if (WindowRecord* old = Resolve(old_parent)) {
        auto& list = old->children;
        list.erase(std::remove(list.begin(), list.end(), child), list.end());
    }
    record->parent = new_parent;
    parent->children.push_back(child);
    if (WindowRecord* root = Resolve(old_root)) root->composed_dirty = true;
    if (WindowRecord* root = Resolve(RootOf(child))) root->composed_dirty = true;
    if (visible) InvalidateInParent(child);
    PlaceNativeChildren(RootOf(child));
    return old_parent;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    const BOOL was_disabled = (record->style & WS_DISABLED) ? 1 : 0;
    if (was_disabled == (enable ? 0 : 1)) return was_disabled;
    CoreState& core = Core();
    if (!enable) {
        record->style |= WS_DISABLED;
        if (IsAncestorOrSelf(hwnd, core.focus)) SetFocus(nullptr);
        if (IsAncestorOrSelf(hwnd, core.capture)) ReleaseCapture();
    } else {
        record->style &= ~WS_DISABLED;
    }
    if (WindowRecord* again = Resolve(hwnd); again && again->IsTopLevel() && core.system) {
        core.system->SetEnabled(hwnd, enable != 0);
    }
    SendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    return was_disabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    return record && !(record->style & WS_DISABLED) ? 1 : 0;
}

LRESULT CallWindowProc(WNDPROC procedure, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!procedure) return 0;
    return procedure(hwnd, message, wparam, lparam);
}

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(record->procedure);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(record->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(GetParent(hwnd));
    case GWLP_ID: return static_cast<LONG_PTR>(record->id);
    case GWL_STYLE: return static_cast<LONG_PTR>(record->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(record->ex_style);
    case GWLP_USERDATA: return record->user_data;
    default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > record->extra.size()) return 0;
    LONG_PTR value;
    std::memcpy(&value, record->extra.data() + index, sizeof(value));
    return value;
}

namespace {

void ApplyStyleChange(HWND hwnd, DWORD old_style, DWORD new_style) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return;
    // Child-ness is fixed at creation; visibility and enabling go through
    // their own paths below so that focus, capture and the screen follow.
    constexpr DWORD kKept = WS_CHILD | WS_POPUP | WS_VISIBLE | WS_DISABLED;
    record->style = (new_style & ~kKept) | (old_style & kKept);
    const DWORD changed = old_style ^ new_style;
    if (changed & WS_VISIBLE) SetVisibleFlag(hwnd, (new_style & WS_VISIBLE) != 0, false);
    if (changed & WS_DISABLED) EnableWindow(hwnd, (new_style & WS_DISABLED) ? 0 : 1);
}

void ApplyExStyleChange(HWND hwnd, DWORD old_style, DWORD new_style) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return;
    record->ex_style = new_style;
    const DWORD changed = old_style ^ new_style;
    if (!record->IsTopLevel() || !Core().system) return;
    if (changed & WS_EX_LAYERED) {
        Core().system->SetLayered(hwnd, (new_style & WS_EX_LAYERED) != 0);
        if (!(new_style & WS_EX_LAYERED)) InvalidateWhole(hwnd);
    }
    if (changed & WS_EX_TOPMOST) Core().system->SetTopMost(hwnd, (new_style & WS_EX_TOPMOST) != 0);
}

}  // namespace

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    switch (index) {
    case GWLP_WNDPROC: {
        const LONG_PTR previous = reinterpret_cast<LONG_PTR>(record->procedure);
        if (value) record->procedure = reinterpret_cast<WNDPROC>(value);
        return value ? previous : 0;
    }
    case GWLP_USERDATA: {
        const LONG_PTR previous = record->user_data;
        record->user_data = value;
        return previous;
    }
    case GWLP_ID: {
        const LONG_PTR previous = static_cast<LONG_PTR>(record->id);
        record->id = static_cast<UINT_PTR>(value);
        return previous;
    }
    case GWLP_HINSTANCE: {
        const LONG_PTR previous = reinterpret_cast<LONG_PTR>(record->instance);
        record->instance = reinterpret_cast<HINSTANCE>(value);
        return previous;
    }
    case GWL_STYLE:
    case GWL_EXSTYLE: {
        const bool ex = index == GWL_EXSTYLE;
        const DWORD old_style = ex ? record->ex_style : record->style;
        STYLESTRUCT change{old_style, static_cast<DWORD>(value)};
        SendMessage(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&change));
        if (!IsWindow(hwnd)) return 0;
        if (ex) {
            ApplyExStyleChange(hwnd, old_style, change.styleNew);
        } else {
            ApplyStyleChange(hwnd, old_style, change.styleNew);
        }
        SendMessage(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&change));
        return static_cast<LONG_PTR>(old_style);
    }
    default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > record->extra.size()) return 0;
    LONG_PTR previous;
    std::memcpy(&previous, record->extra.data() + index, sizeof(previous));
    std::memcpy(record->extra.data() + index, &value, sizeof(value));
    return previous;
}

BOOL SetProp(HWND hwnd, LPCSTR name, HANDLE data) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !name) return 0;
    for (auto& entry : record->properties) {
        if (EqualNoCase(entry.first, name)) {
            entry.second = data;
            return 1;
        }
    }
    record->properties.emplace_back(name, data);
    return 1;
}

HANDLE GetProp(HWND hwnd, LPCSTR name) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !name) return nullptr;
    for (const auto& entry : record->properties) {
        if (EqualNoCase(entry.first, name)) return entry.second;
    }
    return nullptr;
}

HANDLE RemoveProp(HWND hwnd, LPCSTR name) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !name) return nullptr;
    auto& list = record->properties;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (EqualNoCase(it->first, name)) {
            HANDLE data = it->second;
            list.erase(it);
            return data;
        }
    }
    return nullptr;
}

BOOL SetWindowText(HWND hwnd, LPCSTR text) {
    if (!IsWindow(hwnd)) return 0;
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? 1 : 0;
}

int GetWindowText(HWND hwnd, char* buffer, int buffer_size) {
    if (!IsWindow(hwnd) || !buffer || buffer_size <= 0) return 0;
    buffer[0] = '\0';
    return static_cast<int>(SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(buffer_size),
                                        reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND hwnd) {
    if (!IsWindow(hwnd)) return 0;
    return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

std::string GetWindowText(HWND hwnd) {
    const int length = GetWindowTextLength(hwnd);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = GetWindowText(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::clamp(copied, 0, length)));
    return text;
}

}  // namespace plat

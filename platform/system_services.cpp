// Cursors, icons, clipboard text, beeps, the clock, and backend
// installation.

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

bool KnownCursor(int id) {
    switch (id) {
    case 32512: case 32513: case 32514: case 32515: case 32516: case 32642: case 32643:
    case 32644: case 32645: case 32646: case 32648: case 32649: case 32650: case 32651:
        return true;
    default: return false;
    }
}

HWND CursorWindow() {
    CoreState& core = Core();
    if (IsWindow(core.capture)) return RootOf(core.capture);
    if (IsWindow(core.under_pointer)) return RootOf(core.under_pointer);
    return IsWindow(core.active) ? core.active : nullptr;
}

}  // namespace

HCURSOR LoadCursor(HINSTANCE instance, CursorId id) {
    if (instance || !KnownCursor(id.value)) return nullptr;
    return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(id.value));
}

HCURSOR SetCursor(HCURSOR cursor) {
    CoreState& core = Core();
    const HCURSOR previous = core.cursor;
    core.cursor = cursor;
    if (previous != cursor || cursor) {
        if (HWND window = CursorWindow(); window && core.system) {
            core.system->SetCursorShape(window, static_cast<int>(reinterpret_cast<uintptr_t>(cursor)));
        }
    }
    return previous;
}

HCURSOR GetCursor() { return Core().cursor; }

HICON CreateIconFromPixels(const uint32_t* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0 || width > 256 || height > 256) return nullptr;
    CoreState& core = Core();
    CoreState::Icon icon{core.next_icon++, width, height,
                         std::vector<uint32_t>(pixels, pixels + static_cast<size_t>(width) * height)};
    core.icons.push_back(std::move(icon));
    return reinterpret_cast<HICON>(core.icons.back().id);
}

BOOL GetIconPixels(HICON icon, const uint32_t** pixels, int* width, int* height) {
    const auto id = reinterpret_cast<uintptr_t>(icon);
    for (const auto& entry : Core().icons) {
        if (entry.id != id) continue;
        if (pixels) *pixels = entry.pixels.data();
        if (width) *width = entry.width;
        if (height) *height = entry.height;
        return 1;
    }
    return 0;
}

BOOL DestroyIcon(HICON icon) {
    auto& icons = Core().icons;
    const auto id = reinterpret_cast<uintptr_t>(icon);
    auto it = std::find_if(icons.begin(), icons.end(), [id](const auto& e) { return e.id == id; });
    if (it == icons.end()) return 0;
    icons.erase(it);
    return 1;
}

bool SetClipboardText(std::string_view gbk) {
    if (!Core().system) return false;
    if (gbk.size() > kMaxClipboardBytes) gbk = gbk.substr(0, kMaxClipboardBytes);
    // Text stops at its first NUL, as CF_TEXT does.
    gbk = gbk.substr(0, gbk.find('\0'));
    Core().system->SetClipboardUtf8(GbkToUtf8Text(gbk));
    return true;
}

std::string GetClipboardText() {
    if (!Core().system) return {};
    std::optional<std::string> utf8 = Core().system->ClipboardUtf8();
    if (!utf8) return {};
    std::string_view text(*utf8);
    if (text.size() > kMaxClipboardBytes) text = text.substr(0, kMaxClipboardBytes);
    text = text.substr(0, text.find('\0'));
    return Utf8ToGbkText(text);
}

bool ClipboardHasText() {
    if (!Core().system) return false;
    return Core().system->ClipboardUtf8().has_value();
}

BOOL MessageBeep(UINT type) {
    if (!Core().system) return 0;
    Core().system->Beep(type);
    return 1;
}

uint64_t GetTickCount64() { return Core().system ? Core().system->NowMs() : 0; }

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(DWORD milliseconds) {
    if (Core().system) Core().system->Sleep(milliseconds);
}

void InstallWindowSystem(std::unique_ptr<WindowSystem> system) {
    CoreState& core = Core();
    // The old backend's windows die with it; no procedure is called.
    std::unique_ptr<WindowSystem> old = std::move(core.system);
    ResetCore();
    // Work queued from other threads belonged to the old backend's windows.
    AttachUiThread(system.get());
    ResetBackgroundJobs();
    old.reset();
    core.system = std::move(system);
}

WindowSystem* CurrentWindowSystem() { return Core().system.get(); }

void Shutdown() {
    CoreState& core = Core();
    // Destroy every window the usual way, owners last.
    for (int guard = 0; guard < 100000; ++guard) {
        HWND victim = nullptr;
        for (HWND root : core.top_levels) {
            if (IsWindow(root)) victim = root;
        }
        if (!victim) break;
        DestroyWindow(victim);
    }
    InstallWindowSystem(nullptr);
}

}  // namespace plat

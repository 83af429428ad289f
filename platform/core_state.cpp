#include "platform/core_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plat {
namespace {

// A handle packs the slot (low 24 bits, plus one so that no handle is null)
// and the slot's generation above it.
constexpr int kSlotBits = 24;
constexpr uint64_t kSlotMask = (uint64_t{1} << kSlotBits) - 1;

HWND MakeHandle(uint32_t slot, uint64_t generation) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>((generation << kSlotBits) | (slot + 1)));
}

}  // namespace

CoreState& Core() {
    static CoreState state;
    return state;
}

WindowSystem& System() {
    CoreState& core = Core();
    if (!core.system) {
        std::fprintf(stderr, "platform: no backend installed; call plat::Initialise first\n");
        std::abort();
    }
    return *core.system;
}

void ResetCore() {
    CoreState& core = Core();
    std::unique_ptr<WindowSystem> system = std::move(core.system);
    // Generations survive so that handles of the old windows stay invalid.
    std::vector<uint64_t> generations = std::move(core.generations);
    for (size_t i = 0; i < core.slots.size(); ++i) {
        if (core.slots[i]) generations[i] += 1;
    }
    core.slots.clear();
    core = CoreState();
    core.system = std::move(system);
    core.generations = std::move(generations);
    for (size_t i = core.generations.size(); i-- > 0;) {
        core.slots.emplace_back();
        core.free_slots.push_back(static_cast<uint32_t>(i));
    }
}

WindowRecord* Resolve(HWND hwnd) {
    const auto value = reinterpret_cast<uintptr_t>(hwnd);
    const uint64_t slot_plus_one = value & kSlotMask;
    if (slot_plus_one == 0) return nullptr;
    const uint64_t slot = slot_plus_one - 1;
    CoreState& core = Core();
    if (slot >= core.slots.size()) return nullptr;
    if ((value >> kSlotBits) != core.generations[slot]) return nullptr;
    return core.slots[slot].get();
}

HWND AllocateWindow(std::unique_ptr<WindowRecord> record) {
    CoreState& core = Core();
    uint32_t slot;
    if (!core.free_slots.empty()) {
        slot = core.free_slots.back();
        core.free_slots.pop_back();
    } else {
        if (core.slots.size() >= kSlotMask - 1) return nullptr;
        slot = static_cast<uint32_t>(core.slots.size());
        core.slots.emplace_back();
        core.generations.push_back(1);
    }
    HWND handle = MakeHandle(slot, core.generations[slot]);
    record->handle = handle;
    core.slots[slot] = std::move(record);
    return handle;
}

void FreeWindow(HWND hwnd) {
    if (!Resolve(hwnd)) return;
    CoreState& core = Core();
    const uint32_t slot = static_cast<uint32_t>((reinterpret_cast<uintptr_t>(hwnd) & kSlotMask) - 1);
    // Move the record out first: its destructor may run backend code.
    std::unique_ptr<WindowRecord> record = std::move(core.slots[slot]);
    core.generations[slot] += 1;
    core.free_slots.push_back(slot);
    record.reset();
}

HWND RootOf(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    // The depth bound protects against a corrupted parent chain.
    for (int depth = 0; record && record->IsChild() && depth < 4096; ++depth) {
        WindowRecord* parent = Resolve(record->parent);
        if (!parent) break;
        record = parent;
    }
    return record ? record->handle : nullptr;
}

bool IsAncestorOrSelf(HWND ancestor, HWND hwnd) {
    if (!ancestor) return false;
    WindowRecord* record = Resolve(hwnd);
    for (int depth = 0; record && depth < 4096; ++depth) {
        if (record->handle == ancestor) return true;
        if (!record->IsChild()) return false;
        record = Resolve(record->parent);
    }
    return false;
}

POINT ClientOriginOnScreen(const WindowRecord& record) {
    POINT origin{record.rect.left, record.rect.top};
    const WindowRecord* current = &record;
    for (int depth = 0; current->IsChild() && depth < 4096; ++depth) {
        const WindowRecord* parent = Resolve(current->parent);
        if (!parent) break;
        origin.x += parent->rect.left;
        origin.y += parent->rect.top;
        current = parent;
    }
    return origin;
}

RECT ScreenRectOf(const WindowRecord& record) {
    const POINT origin = ClientOriginOnScreen(record);
    return RECT{origin.x, origin.y, origin.x + (record.rect.right - record.rect.left),
                origin.y + (record.rect.bottom - record.rect.top)};
}

bool IsShownOnScreen(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    for (int depth = 0; record && depth < 4096; ++depth) {
        if (!(record->style & WS_VISIBLE)) return false;
        if (!record->IsChild()) return true;
        record = Resolve(record->parent);
    }
    return false;
}

namespace {

// Deepest visible child of `hwnd` containing the screen point, or hwnd.
HWND DeepestChildAt(HWND hwnd, POINT screen) {
    WindowRecord* record = Resolve(hwnd);
    for (int depth = 0; record && depth < 4096; ++depth) {
        const POINT origin = ClientOriginOnScreen(*record);
        const POINT local{screen.x - origin.x, screen.y - origin.y};
        HWND next = nullptr;
        for (auto it = record->children.rbegin(); it != record->children.rend(); ++it) {
            WindowRecord* child = Resolve(*it);
            if (!child || !(child->style & WS_VISIBLE)) continue;
            if (Contains(child->rect, local)) {
                next = *it;
                break;
            }
        }
        if (!next) break;
        record = Resolve(next);
    }
    return record ? record->handle : hwnd;
}

bool RootContains(const WindowRecord& root, POINT screen) {
    if (!(root.style & WS_VISIBLE) || (root.style & WS_MINIMIZE)) return false;
    if (!Contains(root.rect, screen)) return false;
    const int x = screen.x - root.rect.left, y = screen.y - root.rect.top;
    if (root.shape && !ShapeContains(*root.shape, x, y)) return false;
    // A layered window is not there where its pixels are fully transparent.
    if (root.ex_style & WS_EX_LAYERED) {
        const PixelSurface& surface = root.surface;
        if (x >= surface.width || y >= surface.height) return false;
        return (surface.pixels[static_cast<size_t>(y) * surface.width + x] >> 24) != 0;
    }
    return true;
}

}  // namespace

HWND HitTestScreen(POINT screen, HWND preferred_root) {
    CoreState& core = Core();
    WindowRecord* preferred = Resolve(preferred_root);
    if (preferred && preferred->IsTopLevel() && RootContains(*preferred, screen)) {
        // The preferred window is what the system saw under the pointer; it
        // only loses to a top-most window of ours above it.
        bool covered = false;
        if (!(preferred->ex_style & WS_EX_TOPMOST)) {
            for (HWND other : core.top_levels) {
                WindowRecord* record = Resolve(other);
                if (record && record != preferred && (record->ex_style & WS_EX_TOPMOST) &&
                    RootContains(*record, screen)) {
                    covered = true;
                    break;
                }
            }
        }
        if (!covered) return DeepestChildAt(preferred_root, screen);
    }
    // Top-most windows first, then the rest, each front to back.
    for (int pass = 0; pass < 2; ++pass) {
        for (auto it = core.top_levels.rbegin(); it != core.top_levels.rend(); ++it) {
            WindowRecord* record = Resolve(*it);
            if (!record) continue;
            const bool top_most = (record->ex_style & WS_EX_TOPMOST) != 0;
            if ((pass == 0) != top_most) continue;
            if (RootContains(*record, screen)) return DeepestChildAt(*it, screen);
        }
    }
    return nullptr;
}

void PixelSurface::Resize(int new_width, int new_height) {
    new_width = std::clamp(new_width, 0, kMaxWindowDimension);
    new_height = std::clamp(new_height, 0, kMaxWindowDimension);
    if (new_width == width && new_height == height) return;
    std::vector<uint32_t> resized(static_cast<size_t>(new_width) * static_cast<size_t>(new_height));
    const int copy_width = std::min(width, new_width);
    const int copy_height = std::min(height, new_height);
    for (int y = 0; y < copy_height; ++y) {
        std::memcpy(resized.data() + static_cast<size_t>(y) * new_width,
                    pixels.data() + static_cast<size_t>(y) * width,
                    static_cast<size_t>(copy_width) * sizeof(uint32_t));
    }
    pixels = std::move(resized);
    width = new_width;
    height = new_height;
}

SurfaceView PixelSurface::View() const {
    return SurfaceView{reinterpret_cast<const uint8_t*>(pixels.data()), width, height,
                       width * static_cast<int>(sizeof(uint32_t))};
}

}  // namespace plat

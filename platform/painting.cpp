// Painting: invalid regions and WM_PAINT, retained surfaces, Present,
// layered windows, window shapes, and what backends read back.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

bool UsableSource(const SurfaceView& source) {
    return source.data && source.width > 0 && source.height > 0 &&
           source.width <= kMaxWindowDimension && source.height <= kMaxWindowDimension &&
           source.stride >= source.width * 4;
}

bool HasDrawnChildren(const WindowRecord& record) {
    for (HWND child : record.children) {
        WindowRecord* child_record = Resolve(child);
        if (child_record && (child_record->style & WS_VISIBLE) && !child_record->native) return true;
    }
    return false;
}

// Copies the visible core-drawn children of `hwnd` into the composed
// buffer, each clipped to its ancestors' client areas.
void ComposeChildren(const WindowRecord& record, POINT origin, const RECT& clip,
                     std::vector<uint32_t>& out, int out_width) {
    for (HWND child : record.children) {
        WindowRecord* child_record = Resolve(child);
        if (!child_record || !(child_record->style & WS_VISIBLE) || child_record->native) continue;
        const POINT child_origin{origin.x + child_record->rect.left, origin.y + child_record->rect.top};
        const RECT area{child_origin.x, child_origin.y, child_origin.x + child_record->surface.width,
                        child_origin.y + child_record->surface.height};
        const RECT visible = Intersect(area, clip);
        if (RectEmpty(visible)) continue;
        for (int y = visible.top; y < visible.bottom; ++y) {
            const uint32_t* from = child_record->surface.pixels.data() +
                                   static_cast<size_t>(y - child_origin.y) * child_record->surface.width +
                                   (visible.left - child_origin.x);
            std::memcpy(out.data() + static_cast<size_t>(y) * out_width + visible.left, from,
                        static_cast<size_t>(visible.right - visible.left) * sizeof(uint32_t));
        }
        ComposeChildren(*child_record, child_origin, visible, out, out_width);
    }
}

void ClearUpdate(WindowRecord& record) { record.update.reset(); }

bool IsLayeredRecord(const WindowRecord& record) {
    return record.IsTopLevel() && (record.ex_style & WS_EX_LAYERED);
}

bool FindPaintIn(HWND hwnd, HWND filter, MSG* msg) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !(record->style & WS_VISIBLE)) return false;
    if (record->update && (!filter || IsAncestorOrSelf(filter, hwnd))) {
        *msg = MSG{};
        msg->hwnd = hwnd;
        msg->message = WM_PAINT;
        msg->time = GetTickCount();
        msg->pt = Core().cursor_pos;
        return true;
    }
    for (HWND child : record->children) {
        if (FindPaintIn(child, filter, msg)) return true;
    }
    return false;
}

}  // namespace

void InvalidateWhole(HWND hwnd) { InvalidateRect(hwnd, nullptr, 1); }

void InvalidateInParent(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !record->IsChild()) return;
    const RECT rect = record->rect;
    if (WindowRecord* root = Resolve(RootOf(hwnd))) root->composed_dirty = true;
    InvalidateRect(record->parent, &rect, 1);
    WindowRecord* parent = Resolve(record->parent);
    if (parent) PushToScreen(record->parent, rect);
}

void PushToScreen(HWND hwnd, const RECT& client_rect) {
    CoreState& core = Core();
    WindowRecord* record = Resolve(hwnd);
    if (!record || !core.system) return;
    const HWND root = RootOf(hwnd);
    WindowRecord* root_record = Resolve(root);
    if (!root_record) return;
    root_record->composed_dirty = true;
    if (IsLayeredRecord(*root_record)) {
        core.system->PushLayered(root, root_record->constant_alpha);
        return;
    }
    const POINT origin = ClientOriginOnScreen(*record);
    RECT rect = client_rect;
    OffsetRect(&rect, origin.x - root_record->rect.left, origin.y - root_record->rect.top);
    rect = Intersect(rect, RECT{0, 0, root_record->surface.width, root_record->surface.height});
    if (RectEmpty(rect)) return;
    core.system->PushSurface(root, rect);
}

bool FindPaintMessage(HWND filter, MSG* msg) {
    CoreState& core = Core();
    for (auto it = core.top_levels.rbegin(); it != core.top_levels.rend(); ++it) {
        if (FindPaintIn(*it, filter, msg)) return true;
    }
    return false;
}

void FinishPaintDispatch(HWND hwnd, uint64_t begin_paint_count_before) {
    // A procedure that neither called BeginPaint nor passed WM_PAINT on
    // would get WM_PAINT forever; its region counts as painted instead.
    WindowRecord* record = Resolve(hwnd);
    if (record && record->begin_paint_count == begin_paint_count_before) ClearUpdate(*record);
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
    if (!hwnd) {
        for (HWND root : Core().top_levels) InvalidateRect(root, nullptr, 1);
        return 1;
    }
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    // Layered windows are shown from UpdateLayeredWindow, never painted.
    if (IsLayeredRecord(*record)) return 1;
    const RECT client{0, 0, record->rect.right - record->rect.left,
                      record->rect.bottom - record->rect.top};
    const RECT area = rect ? Intersect(*rect, client) : client;
    if (RectEmpty(area)) return 1;
    record->update = record->update ? Union(*record->update, area) : area;
    return 1;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    if (!record->update) return 1;
    if (!rect) {
        ClearUpdate(*record);
        return 1;
    }
    // The invalid region is kept as its bounds: validating a part that
    // covers it whole clears it, smaller parts leave the bounds.
    const RECT& update = *record->update;
    if (rect->left <= update.left && rect->top <= update.top && rect->right >= update.right &&
        rect->bottom >= update.bottom) {
        ClearUpdate(*record);
    }
    return 1;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    if (rect) *rect = record->update ? *record->update : RECT{0, 0, 0, 0};
    return record->update ? 1 : 0;
}

BOOL UpdateWindow(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    if (record->update && IsShownOnScreen(hwnd)) {
        const uint64_t before = record->begin_paint_count;
        SendMessage(hwnd, WM_PAINT, 0, 0);
        FinishPaintDispatch(hwnd, before);
    }
    return 1;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    if (flags & RDW_INVALIDATE) InvalidateRect(hwnd, rect, (flags & RDW_ERASE) ? 1 : 0);
    if (flags & RDW_VALIDATE) ValidateRect(hwnd, rect);
    if ((flags & RDW_ALLCHILDREN) && (flags & (RDW_INVALIDATE | RDW_VALIDATE))) {
        const std::vector<HWND> children = record->children;
        for (HWND child : children) RedrawWindow(child, nullptr, nullptr, flags & ~RDW_UPDATENOW);
    }
    if (flags & RDW_UPDATENOW) {
        UpdateWindow(hwnd);
        if (flags & RDW_ALLCHILDREN) {
            WindowRecord* again = Resolve(hwnd);
            const std::vector<HWND> children = again ? again->children : std::vector<HWND>{};
            for (HWND child : children) RedrawWindow(child, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
    }
    return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !paint) return nullptr;
    *paint = PAINTSTRUCT{};
    paint->hdc = reinterpret_cast<HDC>(hwnd);
    paint->fErase = 0;
    paint->rcPaint = record->update ? *record->update : RECT{0, 0, 0, 0};
    ClearUpdate(*record);
    record->begin_paint_count += 1;
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) { return IsWindow(hwnd) && paint ? 1 : 0; }

void Present(HWND hwnd, const SurfaceView& source, const RECT& rect) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !UsableSource(source)) return;
    PixelSurface& surface = record->surface;
    RECT area = Intersect(rect, RECT{0, 0, surface.width, surface.height});
    area = Intersect(area, RECT{0, 0, source.width, source.height});
    if (RectEmpty(area)) return;
    const size_t row_bytes = static_cast<size_t>(area.right - area.left) * sizeof(uint32_t);
    for (int y = area.top; y < area.bottom; ++y) {
        std::memcpy(surface.pixels.data() + static_cast<size_t>(y) * surface.width + area.left,
                    source.data + static_cast<size_t>(y) * source.stride +
                        static_cast<size_t>(area.left) * sizeof(uint32_t),
                    row_bytes);
    }
    PushToScreen(hwnd, area);
}

bool UpdateLayeredWindow(HWND hwnd, const SurfaceView& source, uint8_t constant_alpha) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !IsLayeredRecord(*record) || !UsableSource(source)) return false;
    const int width = record->rect.right - record->rect.left;
    const int height = record->rect.bottom - record->rect.top;
    if (width != source.width || height != source.height) {
        const RECT rect{record->rect.left, record->rect.top, record->rect.left + source.width,
                        record->rect.top + source.height};
        const WPARAM size_type = (record->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        ApplyWindowRect(hwnd, rect, size_type, true, false);
        record = Resolve(hwnd);
        if (!record || !IsLayeredRecord(*record)) return false;
    }
    PixelSurface& surface = record->surface;
    const int rows = std::min(surface.height, source.height);
    const int columns = std::min(surface.width, source.width);
    for (int y = 0; y < rows; ++y) {
        std::memcpy(surface.pixels.data() + static_cast<size_t>(y) * surface.width,
                    source.data + static_cast<size_t>(y) * source.stride,
                    static_cast<size_t>(columns) * sizeof(uint32_t));
    }
    record->constant_alpha = constant_alpha;
    record->composed_dirty = true;
    if (Core().system) Core().system->PushLayered(hwnd, constant_alpha);
    return true;
}

void FlushScreen() {
    if (Core().system) Core().system->Flush();
}

void AwaitDrawn(HWND hwnd, DWORD timeout_ms) {
    if (Core().system && IsWindow(hwnd)) Core().system->AwaitDrawn(hwnd, timeout_ms);
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    return CreateRoundRectRgn(left, top, right, bottom, 0, 0);
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipse_width,
                        int ellipse_height) {
    CoreState& core = Core();
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    const uintptr_t id = core.next_region++;
    core.regions.emplace_back(id, WindowShape{RECT{left, top, right, bottom},
                                              std::max(ellipse_width, 0),
                                              std::max(ellipse_height, 0)});
    return reinterpret_cast<HRGN>(id);
}

BOOL DeleteObject(HRGN region) {
    auto& regions = Core().regions;
    const auto id = reinterpret_cast<uintptr_t>(region);
    auto it = std::find_if(regions.begin(), regions.end(),
                           [id](const auto& entry) { return entry.first == id; });
    if (it == regions.end()) return 0;
    regions.erase(it);
    return 1;
}

BOOL PtInRegion(HRGN region, int x, int y) {
    const auto id = reinterpret_cast<uintptr_t>(region);
    for (const auto& entry : Core().regions) {
        if (entry.first == id) return ShapeContains(entry.second, x, y) ? 1 : 0;
    }
    return 0;
}

int SetWindowRgn(HWND hwnd, HRGN region, BOOL) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    std::optional<WindowShape> shape;
    if (region) {
        auto& regions = Core().regions;
        const auto id = reinterpret_cast<uintptr_t>(region);
        auto it = std::find_if(regions.begin(), regions.end(),
                               [id](const auto& entry) { return entry.first == id; });
        if (it == regions.end()) return 0;
        shape = it->second;
        regions.erase(it);   // the window owns it now
    }
    record->shape = shape;
    if (record->IsTopLevel() && Core().system) Core().system->SetShape(hwnd, shape);
    return 1;
}

bool ShapeContains(const WindowShape& shape, int x, int y) {
    const RECT& r = shape.rect;
    if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) return false;
    const double a = std::min(shape.ellipse_width, r.right - r.left) / 2.0;
    const double b = std::min(shape.ellipse_height, r.bottom - r.top) / 2.0;
    if (a <= 0.0 || b <= 0.0) return true;
    const double px = x + 0.5, py = y + 0.5;
    double cx, cy;
    if (px < r.left + a) cx = r.left + a;
    else if (px > r.right - a) cx = r.right - a;
    else return true;
    if (py < r.top + b) cy = r.top + b;
    else if (py > r.bottom - b) cy = r.bottom - b;
    else return true;
    const double dx = (px - cx) / a, dy = (py - cy) / b;
    return dx * dx + dy * dy <= 1.0;
}

SurfaceView WindowSurface(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return SurfaceView{};
    if (!HasDrawnChildren(*record)) return record->surface.View();
    if (record->composed_dirty) {
        record->composed = record->surface.pixels;
        const RECT clip{0, 0, record->surface.width, record->surface.height};
        ComposeChildren(*record, POINT{0, 0}, clip, record->composed, record->surface.width);
        record->composed_dirty = false;
    }
    return SurfaceView{reinterpret_cast<const uint8_t*>(record->composed.data()),
                       record->surface.width, record->surface.height,
                       record->surface.width * static_cast<int>(sizeof(uint32_t))};
}

bool IsLayeredWindow(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    return record && IsLayeredRecord(*record);
}

uint8_t LayeredConstantAlpha(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    return record ? record->constant_alpha : 0;
}

std::optional<WindowShape> WindowShapeOf(HWND hwnd) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return std::nullopt;
    return record->shape;
}

}  // namespace plat

#include "platform/file_drop.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "platform/win_api.h"

namespace plat {
namespace {

// Drops posted but not finished. A receiver that never calls DragFinish
// (or a window destroyed before its message arrived) must not make them
// pile up.
constexpr size_t kMaxPendingDrops = 32;

struct Drop {
    HWND hwnd = nullptr;
    POINT point{};
    std::vector<std::string> files;
};

struct DropState {
    std::map<uintptr_t, Drop> drops;   // key order = age
    uintptr_t next_id = 1;
};

DropState& Drops() {
    static DropState state;
    return state;
}

const Drop* Find(HDROP drop) {
    auto& drops = Drops().drops;
    auto it = drops.find(reinterpret_cast<uintptr_t>(drop));
    return it != drops.end() ? &it->second : nullptr;
}

bool AcceptsFiles(HWND hwnd) {
    return (static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE)) & WS_EX_ACCEPTFILES) != 0;
}

HWND DropTarget(HWND hwnd) {
    for (HWND at = hwnd; at != nullptr && IsWindow(at); at = GetParent(at)) {
        if (AcceptsFiles(at)) return at;
        if ((static_cast<DWORD>(GetWindowLongPtr(at, GWL_STYLE)) & WS_CHILD) == 0) break;
    }
    return nullptr;
}

void ForgetStaleDrops() {
    auto& drops = Drops().drops;
    std::erase_if(drops, [](const auto& entry) { return !IsWindow(entry.second.hwnd); });
    while (drops.size() >= kMaxPendingDrops) drops.erase(drops.begin());
}

}  // namespace

void DragAcceptFiles(HWND hwnd, BOOL accept) {
    if (!IsWindow(hwnd)) return;
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE));
    const DWORD wanted = accept ? (ex_style | WS_EX_ACCEPTFILES) : (ex_style & ~WS_EX_ACCEPTFILES);
    if (wanted != ex_style) SetWindowLongPtr(hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(wanted));
}

UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT buffer_size) {
    const Drop* found = Find(drop);
    if (found == nullptr) return 0;
    if (index == kDragQueryCount) return static_cast<UINT>(found->files.size());
    if (index >= found->files.size()) return 0;
    const std::string& name = found->files[index];
    if (buffer == nullptr) return static_cast<UINT>(name.size());
    if (buffer_size == 0) return 0;
    const size_t copied = std::min<size_t>(name.size(), buffer_size - 1);
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

std::string DragQueryFileName(HDROP drop, UINT index) {
    const Drop* found = Find(drop);
    if (found == nullptr || index >= found->files.size()) return {};
    return found->files[index];
}

BOOL DragQueryPoint(HDROP drop, POINT* point) {
    const Drop* found = Find(drop);
    if (found == nullptr || point == nullptr) return 0;
    *point = found->point;
    return 1;
}

void DragFinish(HDROP drop) { Drops().drops.erase(reinterpret_cast<uintptr_t>(drop)); }

namespace input {

bool TakesFileDrop(HWND hwnd) { return DropTarget(hwnd) != nullptr; }

bool QueueFileDrop(HWND hwnd, POINT client, std::vector<std::string> paths) {
    const HWND target = DropTarget(hwnd);
    if (target == nullptr) return false;
    std::erase_if(paths, [](const std::string& path) {
        return path.empty() || path.size() > kMaxDroppedNameBytes ||
               path.find('\0') != std::string::npos;
    });
    if (paths.size() > kMaxDroppedFiles) paths.resize(kMaxDroppedFiles);
    if (paths.empty()) return false;

    POINT point = client;
    ClientToScreen(hwnd, &point);
    ScreenToClient(target, &point);

    ForgetStaleDrops();
    DropState& state = Drops();
    const uintptr_t id = state.next_id++;
    state.drops.emplace(id, Drop{target, point, std::move(paths)});
    if (!PostMessage(target, WM_DROPFILES, id, 0)) {
        state.drops.erase(id);
        return false;
    }
    return true;
}

}  // namespace input
}  // namespace plat

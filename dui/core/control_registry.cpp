#include "dui/core/control_registry.h"

#include <unordered_map>

namespace dui {
namespace {

struct Registry {
    uintptr_t next = 1;
    std::unordered_map<uintptr_t, ExControl*> live;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

uintptr_t AllocateHandleNumber() { return TheRegistry().next++; }

ControlHandle RegisterControl(ExControl& control) {
    const uintptr_t number = AllocateHandleNumber();
    TheRegistry().live.emplace(number, &control);
    return ControlHandle{number};
}

void UnregisterControl(ControlHandle handle) { TheRegistry().live.erase(Raw(handle)); }

ExControl* ResolveControl(ControlHandle handle) {
    if (handle == ControlHandle::None) return nullptr;
    auto& live = TheRegistry().live;
    auto found = live.find(Raw(handle));
    return found == live.end() ? nullptr : found->second;
}

std::size_t LiveControlCount() { return TheRegistry().live.size(); }

}  // namespace dui

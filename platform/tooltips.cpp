// Tooltips: one tool per owner window. The core watches the owner's mouse
// input (as a subclassing tooltip control does) and asks the backend to show
// or hide the one tip window.

#include <algorithm>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

Tool* FindTool(HWND owner) {
    for (Tool& tool : Core().tools) {
        if (tool.owner == owner) return &tool;
    }
    return nullptr;
}

void HideTip() {
    CoreState& core = Core();
    if (core.tip_phase == CoreState::TipPhase::Shown && core.system) core.system->HideTooltip();
}

void ShowTip(const Tool& tool) {
    CoreState& core = Core();
    if (!core.system || tool.text.empty()) return;
    core.system->ShowTooltip(RootOf(tool.owner), core.cursor_pos, GbkToUtf8Text(tool.text),
                             tool.max_width);
}

bool PointerInTool(const Tool& tool) {
    CoreState& core = Core();
    if (core.under_pointer != tool.owner) return false;
    POINT point = core.cursor_pos;
    ScreenToClient(tool.owner, &point);
    return Contains(tool.rect, point);
}

}  // namespace

void TooltipMouseMove(HWND hwnd, POINT client, uint64_t time) {
    CoreState& core = Core();
    Tool* tool = FindTool(hwnd);
    const bool inside = tool && Contains(tool->rect, client) && !tool->text.empty();
    if (!inside) {
        TooltipDismiss();
        core.tip_phase = CoreState::TipPhase::Idle;
        return;
    }
    if (core.tip_owner != hwnd) {
        TooltipDismiss();
        core.tip_phase = CoreState::TipPhase::Idle;
    }
    core.tip_owner = hwnd;
    if (core.tip_phase == CoreState::TipPhase::Idle) {
        core.tip_phase = CoreState::TipPhase::Armed;
        core.tip_deadline = time + kTooltipInitialDelay;
    } else if (core.tip_phase == CoreState::TipPhase::Armed) {
        // Resting means not moving: every move restarts the wait.
        core.tip_deadline = time + kTooltipInitialDelay;
    }
}

void TooltipDismiss() {
    CoreState& core = Core();
    HideTip();
    // After a press or a key the tip stays away until the pointer leaves.
    if (core.tip_phase != CoreState::TipPhase::Idle) core.tip_phase = CoreState::TipPhase::Spent;
}

void TooltipTick() {
    CoreState& core = Core();
    if (core.tip_phase != CoreState::TipPhase::Armed && core.tip_phase != CoreState::TipPhase::Shown) {
        return;
    }
    if (!core.system || System().NowMs() < core.tip_deadline) return;
    Tool* tool = FindTool(core.tip_owner);
    if (core.tip_phase == CoreState::TipPhase::Armed) {
        if (!tool || !PointerInTool(*tool)) {
            core.tip_phase = CoreState::TipPhase::Idle;
            return;
        }
        ShowTip(*tool);
        core.tip_phase = CoreState::TipPhase::Shown;
        core.tip_deadline = System().NowMs() + kTooltipAutoPop;
    } else {
        HideTip();
        core.tip_phase = CoreState::TipPhase::Spent;
    }
}

std::optional<uint64_t> TooltipDeadline() {
    CoreState& core = Core();
    if (core.tip_phase == CoreState::TipPhase::Armed || core.tip_phase == CoreState::TipPhase::Shown) {
        return core.tip_deadline;
    }
    return std::nullopt;
}

void ForgetWindowTool(HWND hwnd) {
    CoreState& core = Core();
    if (core.tip_owner == hwnd) {
        HideTip();
        core.tip_phase = CoreState::TipPhase::Idle;
        core.tip_owner = nullptr;
    }
    auto& tools = core.tools;
    tools.erase(std::remove_if(tools.begin(), tools.end(),
                               [hwnd](const Tool& tool) { return tool.owner == hwnd; }),
                tools.end());
}

bool AddTool(HWND owner, const RECT& rect, std::string_view text, int max_width) {
    if (!IsWindow(owner)) return false;
    CoreState& core = Core();
    if (core.tip_owner == owner) {
        HideTip();
        core.tip_phase = CoreState::TipPhase::Idle;
    }
    Tool* tool = FindTool(owner);
    if (!tool) {
        core.tools.push_back(Tool{owner, rect, {}, 0});
        tool = &core.tools.back();
    }
    tool->rect = rect;
    tool->text = std::string(text.substr(0, kMaxInputText));
    tool->max_width = std::max(max_width, 0);
    return true;
}

bool UpdateTool(HWND owner, const RECT& rect, std::string_view text) {
    Tool* tool = FindTool(owner);
    if (!tool) return false;
    tool->rect = rect;
    tool->text = std::string(text.substr(0, kMaxInputText));
    CoreState& core = Core();
    if (core.tip_owner == owner && core.tip_phase == CoreState::TipPhase::Shown) {
        if (PointerInTool(*tool) && !tool->text.empty()) {
            ShowTip(*tool);
        } else {
            HideTip();
            core.tip_phase = CoreState::TipPhase::Idle;
        }
    }
    return true;
}

bool RemoveTool(HWND owner) {
    CoreState& core = Core();
    if (!FindTool(owner)) return false;
    if (core.tip_owner == owner) {
        HideTip();
        core.tip_phase = CoreState::TipPhase::Idle;
        core.tip_owner = nullptr;
    }
    auto& tools = core.tools;
    tools.erase(std::remove_if(tools.begin(), tools.end(),
                               [owner](const Tool& tool) { return tool.owner == owner; }),
                tools.end());
    return true;
}

}  // namespace plat

// Creating the native window a host attaches to, and the modal loop.

#include "dui/core/host_window.h"

#include "dui/core/module.h"

namespace dui {

plat::HWND CreateHostWindow(const HostWindowOptions& options) {
    ModuleStartup();
    plat::RECT area{};
    plat::SystemParametersInfo(plat::SPI_GETWORKAREA, 0, &area, 0);
    const int width = options.width.value_or(0) > 0 ? *options.width : 380;
    const int height = options.height.value_or(0) > 0 ? *options.height : 250;
    const int left = options.left.value_or(area.left + (area.right - area.left - width) / 2);
    const int top = options.top.value_or(area.top + (area.bottom - area.top - height) / 2);
    const plat::DWORD style =
        options.style.value_or(plat::WS_POPUP | plat::WS_SYSMENU | plat::WS_MINIMIZEBOX |
                               plat::WS_MAXIMIZEBOX | plat::WS_CLIPCHILDREN);
    plat::HWND window = plat::CreateWindowEx(options.ex_style, options.class_name.c_str(),
                                             options.title.c_str(), style, left, top, width, height,
                                             options.parent, nullptr, plat::GetModuleHandle(nullptr),
                                             nullptr);
    if (window == nullptr) return nullptr;

    auto icon_of = [&](plat::WPARAM which, int class_index) {
        auto icon = plat::SendMessage(window, plat::WM_GETICON, which, 0);
        if (icon == 0) icon = static_cast<intptr_t>(plat::GetClassLongPtr(window, class_index));
        return icon;
    };
    const intptr_t big = icon_of(plat::ICON_BIG, plat::GCLP_HICON);
    const intptr_t small = icon_of(plat::ICON_SMALL, plat::GCLP_HICONSM);
    plat::SendMessage(window, plat::WM_SETICON, plat::ICON_BIG, big);
    plat::SendMessage(window, plat::WM_SETICON, plat::ICON_SMALL, small);

    if (options.show) {
        plat::ShowWindow(window, plat::SW_SHOWNORMAL);
        plat::UpdateWindow(window);
    }
    if (options.run_modal_loop) RunModalLoop(window);
    return window;
}

namespace {

// Whether input for `target` belongs to the modal window: the window
// itself, one of its children, or a top-level window it owns (directly or
// through another owned window), such as a popup menu it opened.
bool BelongsToModal(plat::HWND modal, plat::HWND target) {
    if (target == nullptr) return false;
    if (target == modal || plat::IsChild(modal, target)) return true;
    // Owner chains are short; the bound only guards against a cycle.
    constexpr int kMaxOwnerDepth = 64;
    plat::HWND at = plat::GetAncestor(target, plat::GA_ROOT);
    for (int depth = 0; at != nullptr && depth < kMaxOwnerDepth; ++depth) {
        if (at == modal) return true;
        at = plat::GetParent(at);
    }
    return false;
}

bool IsInput(uint32_t message) {
    return (message >= plat::WM_KEYFIRST && message <= plat::WM_KEYLAST) ||
           (message >= plat::WM_MOUSEFIRST && message <= plat::WM_MOUSELAST);
}

// Disables the owner for a modal loop and enables it again when the loop
// ends, however it ends. An owner that was disabled already (an outer modal
// loop holds it) stays disabled; a destroyed owner is left alone (handles
// carry a generation, so IsWindow never mistakes a new window for it).
class OwnerDisabled {
public:
    OwnerDisabled(plat::HWND owner, plat::HWND modal) {
        if (owner == nullptr || owner == modal || !plat::IsWindow(owner)) return;
        if (plat::EnableWindow(owner, 0) != 0) return;  // was disabled already
        m_owner = owner;
    }
    ~OwnerDisabled() {
        if (m_owner != nullptr && plat::IsWindow(m_owner)) plat::EnableWindow(m_owner, 1);
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;

private:
    plat::HWND m_owner = nullptr;
};

}  // namespace

void RunModalLoop(plat::HWND window, plat::HWND owner) {
    const OwnerDisabled disabled(owner, window);
    plat::MSG msg{};
    while (plat::IsWindow(window)) {
        const plat::BOOL got = plat::GetMessage(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The quit request belongs to the program's own loop.
            plat::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (got < 0) return;
        if (IsInput(msg.message) && !BelongsToModal(window, msg.hwnd)) continue;
        plat::TranslateMessage(&msg);
        plat::DispatchMessage(&msg);
    }
}

}  // namespace dui

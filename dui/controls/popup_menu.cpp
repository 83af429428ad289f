#include "dui/controls/popup_menu.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include "dui/controls/controls_module.h"
#include "dui/controls/menu_item_control.h"
#include "dui/controls/text_control.h"
#include "dui/core/font.h"
#include "dui/core/host_window.h"
#include "dui/core/messages.h"
#include "util/scoped_value.h"

namespace dui {
namespace {

// Window properties of a menu window.
constexpr const char* kPropFlags = "Ex_Wnd_Flags";
constexpr const char* kPropHost = "Ex_DirectUI_Host";
constexpr const char* kPropSub = "Ex_DirectUI_Sub";
constexpr const char* kPropAct = "Ex_DirectUI_Act";
constexpr const char* kPropEvent = "Ex_DirectUI_Event";

// Geometry of the popup window (the body is inset by the shadow).
constexpr int kMinWidth = 50;
constexpr int kVerticalPadding = 16;
constexpr int kItemHeight = 22;
constexpr int kSeparatorHeight = 3;
constexpr int kCaptionExtra = 50;
constexpr int kSubmenuExtra = 15;
constexpr float kItemsTop = 8;
constexpr float kItemLeft = 8;
constexpr float kSeparatorLeft = 33;
constexpr int kShadow = 6;
constexpr int kSubmenuOverlap = 2;

// A release of the right button this soon after opening belongs to the
// click that opened the menu and chooses nothing.
constexpr uint64_t kReleaseGraceMs = 500;
constexpr int kAnchoredFadeMs = 100;

constexpr Argb kBody = ArgbOf(234, 255, 255, 255);
constexpr Argb kOutline = ArgbOf(125, 0, 0, 0);
constexpr Argb kIconColumn = ArgbOf(254, 209, 228, 236);

bool IsPress(uint32_t message) {
    switch (message) {
        case plat::WM_LBUTTONDOWN:
        case plat::WM_LBUTTONDBLCLK:
        case plat::WM_RBUTTONDOWN:
        case plat::WM_RBUTTONDBLCLK:
        case plat::WM_MBUTTONDOWN:
        case plat::WM_MBUTTONDBLCLK:
            return true;
        default:
            return false;
    }
}

bool Selectable(const ExMenuItem& item) {
    return item.Enabled() && item.kind != MenuItemKind::Separator;
}

// The letter an item's caption underlines, upper-cased; 0 when none.
int MnemonicOf(const ExMenuItem& item) {
    const uint32_t character = HotkeyCharacter(item.text);
    return character == 0 ? 0 : std::toupper(static_cast<int>(character));
}

plat::RECT WorkArea() {
    plat::RECT area{};
    plat::SystemParametersInfo(plat::SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// Menu window painting: a rounded white body with a soft three-ring shadow
// and the icon column.
void PaintMenuBody(ExCanvas& canvas, int width, int height) {
    canvas.Clear(0);
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const RectF body{kShadow, kShadow, w - 2 * kShadow, h - 2 * kShadow};
    canvas.FillRoundRect(body, 4, kBody);
    canvas.DrawRoundRect(body, 4, kOutline);
    constexpr int kRingAlpha[] = {35, 15, 5};
    constexpr float kRingDiameter[] = {7, 10, 13};
    for (int ring = 0; ring < 3; ++ring) {
        const float grow = static_cast<float>(ring + 1);
        canvas.DrawRoundRect(OffsetRect(body, -grow, -grow, 2 * grow, 2 * grow),
                             kRingDiameter[ring], ArgbOf(static_cast<uint8_t>(kRingAlpha[ring]), 0, 0, 0));
    }
    const RectF column{kItemLeft, kItemsTop, 24, std::max(0.0f, h - 16)};
    canvas.FillRoundRect(column, 3, kIconColumn);
    canvas.DrawRoundRect(column, 3, kIconColumn);
}

class MenuSession;

// One open popup window of a menu chain (the root menu or a submenu).
class MenuWindow {
public:
    MenuWindow(MenuSession& session, std::vector<ExMenuItem> items, int level)
        : m_session(session), m_items(std::move(items)), m_level(level) {}
    ~MenuWindow();
    MenuWindow(const MenuWindow&) = delete;
    MenuWindow& operator=(const MenuWindow&) = delete;

    // Creates the window at `origin` (screen) with `size`; false when the
    // window could not be made.
    bool Create(plat::HWND owner, plat::POINT origin, plat::SIZE size);
    // Shows the window without activating it and takes the popup input
    // grab (a submenu takes it over from its parent); false when the grab
    // was refused, and the menu must not stay open.
    bool ShowAndGrab(bool fade);

    plat::HWND Window() const { return m_window; }
    int Level() const { return m_level; }
    const std::vector<ExMenuItem>& Items() const { return m_items; }
    int Current() const { return m_current; }
    int OpenSubmenuItem() const { return m_submenu_item; }

    void SetCurrent(int index);
    void SubmenuClosed();
    bool OnKey(int virtual_key);
    bool OnCharacter(int character);

private:
    intptr_t Hook(uint32_t message, uintptr_t wparam, intptr_t lparam);
    void OnItemEvent(MenuItemEvent event, int index);
    void Choose(int index, bool from_keyboard);
    void OpenSubmenu(int index, bool select_first);
    void Highlight(int index);
    int NextSelectable(int from, int step) const;
    plat::RECT ItemScreenRect(int index) const;

    MenuSession& m_session;
    std::vector<ExMenuItem> m_items;
    int m_level = 0;
    plat::HWND m_window = nullptr;
    ExHostWindow m_host;
    std::vector<std::unique_ptr<ExMenuItemControl>> m_controls;
    int m_current = -1;
    int m_submenu_item = -1;
};

// An open menu: the chain of its windows (root first), the message loop
// they share, and what was chosen.
class MenuSession {
public:
    MenuSession(plat::HWND owner, ControlHandle target)
        : m_owner(owner), m_target(target), m_opened_at(plat::GetTickCount64()) {}
    ~MenuSession() { CloseFrom(0); }

    bool Open(const std::vector<ExMenuItem>& items, plat::POINT origin, plat::SIZE size,
              bool anchored);
    void Run();
    // The handler to run once the windows are gone (monostate: none).
    MenuHandler TakeChoice() { return std::move(m_choice); }
    // A press on the owner's window that closed the menu, to be delivered
    // once the windows are gone.
    std::optional<plat::MSG> TakeClosingPress() { return std::exchange(m_closing_press, std::nullopt); }

    // Opens a submenu as the level after `parent`, replacing deeper ones.
    MenuWindow* OpenSubmenu(const MenuWindow& parent, std::vector<ExMenuItem> items,
                            plat::POINT origin, plat::SIZE size);
    // Closes the windows from `level` on once the current message is done
    // (a window never destroys itself inside its own procedure).
    void RequestClose(int level);
    // Closes the windows deeper than `level` now; only for a caller that
    // is not one of them.
    void CloseDeeperThan(int level);
    void Finish(MenuHandler handler) {
        m_choice = std::move(handler);
        RequestClose(0);
    }

    bool InChain(plat::HWND window) const;
    MenuWindow* Deepest() const { return m_chain.empty() ? nullptr : m_chain.back().get(); }
    MenuWindow* At(int level) const {
        return level >= 0 && level < static_cast<int>(m_chain.size())
                   ? m_chain[static_cast<size_t>(level)].get()
                   : nullptr;
    }
    plat::HWND Owner() const { return m_owner; }
    ControlHandle Target() const { return m_target; }
    bool ReleaseChooses() const { return plat::GetTickCount64() - m_opened_at >= kReleaseGraceMs; }
    bool SelfCaptureChange() const { return m_self_capture > 0; }

private:
    bool Accept(plat::MSG& msg);
    // Shows a menu window and takes the pointer: the capture changes that
    // causes are the session's own.
    bool ShowAndGrab(MenuWindow& window, bool anchored);
    void ApplyPendingClose();
    void CloseFrom(int level);

    plat::HWND m_owner;
    ControlHandle m_target;
    uint64_t m_opened_at;
    std::vector<std::unique_ptr<MenuWindow>> m_chain;
    MenuHandler m_choice;
    int m_close_from = INT_MAX;
    int m_self_capture = 0;
    std::optional<plat::MSG> m_closing_press;
};

// ---------------------------------------------------------------------------
// MenuWindow

MenuWindow::~MenuWindow() {
    m_controls.clear();
    if (m_window != nullptr && plat::IsWindow(m_window)) {
        plat::RemoveProp(m_window, kPropFlags);
        plat::RemoveProp(m_window, kPropHost);
        plat::RemoveProp(m_window, kPropSub);
        plat::RemoveProp(m_window, kPropAct);
        plat::RemoveProp(m_window, kPropEvent);
        plat::ReleasePopupInput(m_window);
        plat::DestroyWindow(m_window);
    }
}

bool MenuWindow::Create(plat::HWND owner, plat::POINT origin, plat::SIZE size) {
    HostWindowOptions options;
    options.parent = owner;
    options.title = kMenuWindowTitle;
    options.left = origin.x;
    options.top = origin.y;
    options.width = size.cx;
    options.height = size.cy;
    options.style = plat::WS_POPUP;
    options.ex_style = plat::WS_EX_TOOLWINDOW | plat::WS_EX_TOPMOST;
    m_window = CreateHostWindow(options);
    if (m_window == nullptr) return false;
    plat::SetWindowRole(m_window, plat::WindowRole::PopupMenu);
    plat::SetProp(m_window, kPropFlags, reinterpret_cast<plat::HANDLE>(uintptr_t{1}));
    plat::SetProp(m_window, kPropHost, reinterpret_cast<plat::HANDLE>(this));
    plat::SetProp(m_window, kPropEvent,
                  reinterpret_cast<plat::HANDLE>(Raw(m_session.Target())));

    m_host.OnPaintBackground([](plat::HWND, ExCanvas& canvas, int width, int height) {
        PaintMenuBody(canvas, width, height);
    });
    m_host.OnMessage([this](plat::HWND, uint32_t message, uintptr_t wparam, intptr_t lparam) {
        return Hook(message, wparam, lparam);
    });
    AttachOptions attach;
    attach.background_colour = 0xFFFFFF;
    attach.flags = 0;
    attach.layered_alpha = 240;
    attach.frame_style = 1;
    attach.animations = true;
    attach.resizable = false;
    attach.draggable = false;
    attach.blur = false;
    if (!m_host.Attach(m_window, std::move(attach))) return false;

    const float width = static_cast<float>(size.cx);
    float y = kItemsTop;
    for (size_t i = 0; i < m_items.size(); ++i) {
        const ExMenuItem& item = m_items[i];
        RectF bounds;
        if (item.kind == MenuItemKind::Separator) {
            bounds = {kSeparatorLeft, y, width - 40, kSeparatorHeight};
            y += kSeparatorHeight;
        } else {
            bounds = {kItemLeft, y, width - 16, kItemHeight};
            y += kItemHeight;
        }
        auto control = std::make_unique<ExMenuItemControl>();
        control->CreateMenuItem(m_window, bounds, item, static_cast<int>(i),
                                [this](MenuItemEvent event, int index) { OnItemEvent(event, index); });
        m_controls.push_back(std::move(control));
    }
    return true;
}

bool MenuWindow::ShowAndGrab(bool fade) {
    if (fade) {
        m_host.Show(kAnimationFade, kAnchoredFadeMs);
    } else {
        plat::ShowWindow(m_window, plat::SW_SHOWNOACTIVATE);
    }
    return plat::IsWindow(m_window) && plat::GrabPopupInput(m_window);
}

intptr_t MenuWindow::Hook(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case plat::WM_ACTIVATE:
            // A press outside the program while the menu holds the grab
            // (reported without a window), or the activation going to
            // another program, closes the menu. The activation moving
            // between the program's own windows does not: a press on one
            // of them arrives as a press, and the menu's loop handles it.
            if (plat::LOWORD(wparam) == plat::WA_INACTIVE &&
                !plat::IsWindow(reinterpret_cast<plat::HWND>(lparam))) {
                m_session.RequestClose(0);
            }
            break;
        case plat::WM_CAPTURECHANGED:
            // The grab was broken (another program took it). Presses on
            // items capture and release the pointer, and the menu moves the
            // grab between its own windows; neither is a loss.
            if (!m_session.SelfCaptureChange()) m_session.RequestClose(0);
            break;
        case plat::WM_CANCELMODE:
            m_session.RequestClose(0);
            return 0;
        case plat::WM_KEYDOWN:
        case plat::WM_SYSKEYDOWN:
            return OnKey(static_cast<int>(wparam)) ? 0 : kNotHandled;
        case plat::WM_CHAR:
            return OnCharacter(static_cast<int>(wparam)) ? 0 : kNotHandled;
        case plat::WM_SYSCHAR:
        case plat::WM_KEYUP:
        case plat::WM_SYSKEYUP:
            return 0;
        default:
            break;
    }
    return kNotHandled;
}

void MenuWindow::OnItemEvent(MenuItemEvent event, int index) {
    if (index < 0 || index >= static_cast<int>(m_items.size())) return;
    const ExMenuItem& item = m_items[static_cast<size_t>(index)];
    switch (event) {
        case MenuItemEvent::Entered:
            if (m_submenu_item != index) {
                m_session.CloseDeeperThan(m_level);
                SubmenuClosed();
            }
            SetCurrent(Selectable(item) ? index : -1);
            break;
        case MenuItemEvent::Left:
            if (m_current == index && m_submenu_item != index) SetCurrent(-1);
            break;
        case MenuItemEvent::HoverTimer:
            if (m_current == index && item.kind == MenuItemKind::Submenu) OpenSubmenu(index, false);
            break;
        case MenuItemEvent::Clicked:
            Choose(index, false);
            break;
        case MenuItemEvent::RightReleased:
            if (m_session.ReleaseChooses()) Choose(index, false);
            break;
    }
}

void MenuWindow::Choose(int index, bool from_keyboard) {
    if (index < 0 || index >= static_cast<int>(m_items.size())) return;
    const ExMenuItem& item = m_items[static_cast<size_t>(index)];
    if (!Selectable(item)) return;
    if (item.kind == MenuItemKind::Submenu) {
        OpenSubmenu(index, from_keyboard);
        return;
    }
    m_session.Finish(item.handler);
}

void MenuWindow::OpenSubmenu(int index, bool select_first) {
    const ExMenuItem& item = m_items[static_cast<size_t>(index)];
    if (item.kind != MenuItemKind::Submenu || !item.Enabled()) return;
    if (m_submenu_item == index) {
        if (select_first) {
            if (MenuWindow* sub = m_session.At(m_level + 1)) sub->SetCurrent(sub->NextSelectable(-1, 1));
        }
        return;
    }
    m_session.CloseDeeperThan(m_level);
    SubmenuClosed();
    const plat::SIZE size = MenuSize(item.submenu, 0);
    plat::RECT window_rect{};
    plat::GetWindowRect(m_window, &window_rect);
    const plat::POINT origin = PlaceSubmenu(window_rect, ItemScreenRect(index), size, WorkArea());
    MenuWindow* sub = m_session.OpenSubmenu(*this, item.submenu, origin, size);
    if (sub == nullptr) return;
    m_submenu_item = index;
    plat::SetProp(m_window, kPropSub, reinterpret_cast<plat::HANDLE>(sub->Window()));
    plat::SetProp(sub->Window(), kPropAct, reinterpret_cast<plat::HANDLE>(m_window));
    m_current = index;
    Highlight(index);
    if (select_first) sub->SetCurrent(sub->NextSelectable(-1, 1));
}

void MenuWindow::SubmenuClosed() {
    if (m_submenu_item < 0) return;
    const int was = m_submenu_item;
    m_submenu_item = -1;
    if (plat::IsWindow(m_window)) plat::RemoveProp(m_window, kPropSub);
    if (was != m_current) Highlight(was);
}

void MenuWindow::SetCurrent(int index) {
    if (index == m_current) return;
    const int previous = m_current;
    m_current = index;
    if (previous >= 0) Highlight(previous);
    if (index >= 0) Highlight(index);
}

void MenuWindow::Highlight(int index) {
    if (index < 0 || index >= static_cast<int>(m_controls.size())) return;
    m_controls[static_cast<size_t>(index)]->Highlighted(index == m_current || index == m_submenu_item);
}

int MenuWindow::NextSelectable(int from, int step) const {
    const int count = static_cast<int>(m_items.size());
    if (count == 0) return -1;
    int at = from;
    for (int visited = 0; visited < count; ++visited) {
        at = at < 0 && step < 0 ? count - 1 : (at + step + count) % count;
        if (Selectable(m_items[static_cast<size_t>(at)])) return at;
    }
    return -1;
}

plat::RECT MenuWindow::ItemScreenRect(int index) const {
    plat::RECT rect{};
    if (index < 0 || index >= static_cast<int>(m_controls.size())) return rect;
    const RectF b = m_controls[static_cast<size_t>(index)]->Bounds();
    plat::POINT origin{0, 0};
    plat::ClientToScreen(m_window, &origin);
    rect.left = origin.x + static_cast<int>(b.left);
    rect.top = origin.y + static_cast<int>(b.top);
    rect.right = rect.left + static_cast<int>(b.width);
    rect.bottom = rect.top + static_cast<int>(b.height);
    return rect;
}

bool MenuWindow::OnKey(int virtual_key) {
    switch (virtual_key) {
        case plat::VK_DOWN:
            SetCurrent(NextSelectable(m_current, 1));
            return true;
        case plat::VK_UP:
            SetCurrent(NextSelectable(m_current, -1));
            return true;
        case plat::VK_HOME:
            SetCurrent(NextSelectable(-1, 1));
            return true;
        case plat::VK_END:
            SetCurrent(NextSelectable(-1, -1));
            return true;
        case plat::VK_RETURN:
        case plat::VK_SPACE:
            Choose(m_current, true);
            return true;
        case plat::VK_RIGHT:
            if (m_current >= 0 && m_items[static_cast<size_t>(m_current)].kind == MenuItemKind::Submenu) {
                OpenSubmenu(m_current, true);
            }
            return true;
        case plat::VK_LEFT:
            if (m_level > 0) m_session.RequestClose(m_level);
            return true;
        case plat::VK_ESCAPE:
            m_session.RequestClose(m_level);
            return true;
        case plat::VK_MENU:
        case plat::VK_F10:
            m_session.RequestClose(0);
            return true;
        default:
            return true;  // every other key is swallowed while the menu is open
    }
}

bool MenuWindow::OnCharacter(int character) {
    if (character <= 0x20 || character >= 0x7F) return true;
    const int wanted = std::toupper(character);
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (Selectable(m_items[i]) && MnemonicOf(m_items[i]) == wanted) {
            SetCurrent(static_cast<int>(i));
            Choose(static_cast<int>(i), true);
            return true;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// MenuSession

bool MenuSession::Open(const std::vector<ExMenuItem>& items, plat::POINT origin, plat::SIZE size,
                       bool anchored) {
    auto root = std::make_unique<MenuWindow>(*this, items, 0);
    if (!root->Create(m_owner, origin, size)) return false;
    MenuWindow& window = *root;
    m_chain.push_back(std::move(root));
    const bool grabbed = ShowAndGrab(window, anchored);
    if (!grabbed) CloseFrom(0);
    return grabbed;
}

MenuWindow* MenuSession::OpenSubmenu(const MenuWindow& parent, std::vector<ExMenuItem> items,
                                     plat::POINT origin, plat::SIZE size) {
    CloseDeeperThan(parent.Level());
    auto sub = std::make_unique<MenuWindow>(*this, std::move(items), parent.Level() + 1);
    if (!sub->Create(m_chain.front()->Window(), origin, size)) return nullptr;
    MenuWindow* raw = sub.get();
    m_chain.push_back(std::move(sub));
    const bool grabbed = ShowAndGrab(*raw, false);
    if (!grabbed) {
        CloseDeeperThan(parent.Level());
        return nullptr;
    }
    return raw;
}

bool MenuSession::ShowAndGrab(MenuWindow& window, bool anchored) {
    const util::ScopedValue self_capture(m_self_capture, m_self_capture + 1);
    return window.ShowAndGrab(anchored);
}

void MenuSession::RequestClose(int level) {
    // Requests also come from messages sent while the loop waits for input
    // (activation, a broken grab): wake it so it closes at once.
    if (m_close_from == INT_MAX && !m_chain.empty()) {
        plat::PostMessage(m_chain.front()->Window(), plat::WM_NULL, 0, 0);
    }
    m_close_from = std::min(m_close_from, level);
}

void MenuSession::CloseDeeperThan(int level) { CloseFrom(level + 1); }

void MenuSession::CloseFrom(int level) {
    const size_t keep = static_cast<size_t>(std::max(level, 0));
    while (m_chain.size() > keep) {
        std::unique_ptr<MenuWindow> closing = std::move(m_chain.back());
        m_chain.pop_back();
        const util::ScopedValue self_capture(m_self_capture, m_self_capture + 1);
        closing.reset();
    }
    if (!m_chain.empty()) m_chain.back()->SubmenuClosed();
}

void MenuSession::ApplyPendingClose() {
    if (m_close_from == INT_MAX) return;
    const int level = m_close_from;
    m_close_from = INT_MAX;
    CloseFrom(level);
}

bool MenuSession::InChain(plat::HWND window) const {
    if (window == nullptr) return false;
    return std::any_of(m_chain.begin(), m_chain.end(),
                       [window](const auto& menu) { return menu->Window() == window; });
}

// Decides what becomes of a message while the menu is open. Keys go to the
// deepest menu; mouse input goes to the menu windows only. A press anywhere
// else closes the menu; one on the owner's window is kept for the control
// under the pointer, which receives it once the menu is gone.
bool MenuSession::Accept(plat::MSG& msg) {
    const uint32_t message = msg.message;
    if (message >= plat::WM_KEYFIRST && message <= plat::WM_KEYLAST) {
        if (MenuWindow* deepest = Deepest()) msg.hwnd = deepest->Window();
        return true;
    }
    if (message >= plat::WM_IME_STARTCOMPOSITION && message <= plat::WM_IME_COMPOSITION) return false;
    if (message >= plat::WM_MOUSEFIRST && message <= plat::WM_MOUSELAST) {
        if (InChain(msg.hwnd)) return true;
        if (IsPress(message)) {
            RequestClose(0);
            const plat::HWND owner_root = plat::GetAncestor(m_owner, plat::GA_ROOT);
            if (!m_closing_press && owner_root != nullptr &&
                plat::GetAncestor(msg.hwnd, plat::GA_ROOT) == owner_root) {
                m_closing_press = msg;
            }
        }
        return false;
    }
    if (message == plat::WM_NCLBUTTONDOWN && !InChain(msg.hwnd)) {
        RequestClose(0);
        return false;
    }
    return true;
}

void MenuSession::Run() {
    plat::MSG msg{};
    while (!m_chain.empty() && plat::IsWindow(m_chain.front()->Window())) {
        const plat::BOOL got = plat::GetMessage(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The quit request belongs to the program's own loop.
            CloseFrom(0);
            plat::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (got < 0) break;
        if (Accept(msg)) {
            const bool mouse = msg.message >= plat::WM_MOUSEFIRST && msg.message <= plat::WM_MOUSELAST;
            const util::ScopedValue self_capture(m_self_capture, m_self_capture + (mouse ? 1 : 0));
            plat::TranslateMessage(&msg);
            plat::DispatchMessage(&msg);
        }
        ApplyPendingClose();
    }
    CloseFrom(0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Sizing and placement

plat::SIZE MenuSize(const std::vector<ExMenuItem>& items, int width) {
    int height = kVerticalPadding;
    bool has_submenu = false;
    float widest = 0;
    for (const ExMenuItem& item : items) {
        if (item.kind == MenuItemKind::Separator) {
            height += kSeparatorHeight;
            continue;
        }
        height += kItemHeight;
        has_submenu = has_submenu || item.kind == MenuItemKind::Submenu;
        if (width == 0) {
            const RectF bounds = MeasureStyledText(item.text, MenuItemTextStyle(), RectF{});
            widest = std::max(widest, bounds.width);
        }
    }
    if (width == 0) {
        width = static_cast<int>(std::ceil(widest)) + kCaptionExtra + (has_submenu ? kSubmenuExtra : 0);
    }
    return plat::SIZE{std::max(width, kMinWidth), height};
}

plat::POINT PlaceContextMenu(plat::POINT point, plat::SIZE size, const plat::RECT& work_area) {
    plat::POINT at = point;
    if (at.x + size.cx - 5 > work_area.right) at.x -= size.cx;
    if (at.y + size.cy > work_area.bottom) at.y = at.y - size.cy + 5;
    at.x = std::max(work_area.left, std::min(at.x, work_area.right - size.cx));
    at.y = std::max(work_area.top, std::min(at.y, work_area.bottom - size.cy));
    return at;
}

plat::POINT PlaceSubmenu(const plat::RECT& parent_window, const plat::RECT& item, plat::SIZE size,
                         const plat::RECT& work_area) {
    // Bodies (inside the shadow) overlap by a hair, and the submenu's first
    // item lines up with the item that opened it.
    plat::POINT at{parent_window.right - 2 * kShadow - kSubmenuOverlap,
                   item.top - static_cast<int>(kItemsTop)};
    if (at.x + size.cx - 5 > work_area.right) {
        at.x = parent_window.left + 2 * kShadow + kSubmenuOverlap - size.cx;
    }
    at.x = std::max(work_area.left, std::min(at.x, work_area.right - size.cx));
    at.y = std::max(work_area.top, std::min(at.y, work_area.bottom - size.cy));
    return at;
}

bool PopupMenuOpen() { return ControlsModule().menu_open; }

// ---------------------------------------------------------------------------
// ExPopupMenu

namespace {

// Runs a menu for `owner` at `origin` and delivers the choice once every
// menu window is gone.
void RunMenu(plat::HWND owner, const std::vector<ExMenuItem>& items, plat::POINT origin,
             plat::SIZE size, bool anchored) {
    if (PopupMenuOpen() || !plat::IsWindow(owner)) return;
    ExHostWindow* owner_host = HostFromWindow(owner);
    ControlHandle target = ControlHandle::None;
    if (owner_host != nullptr) {
        plat::POINT pointer{};
        plat::GetCursorPos(&pointer);
        plat::ScreenToClient(owner, &pointer);
        target = HitTest(owner_host->TopLevelList().last, static_cast<float>(pointer.x),
                         static_cast<float>(pointer.y));
        if (target != ControlHandle::None) {
            plat::SendMessage(owner, EX_MSG_SETFOCUS, 0, static_cast<intptr_t>(Raw(target)));
        }
    }
    MenuHandler choice;
    std::optional<plat::MSG> closing_press;
    {
        MenuSession session(owner, target);
        {
            const util::ScopedValue open(ControlsModule().menu_open, true);
            if (session.Open(items, origin, size, anchored)) session.Run();
        }
        choice = session.TakeChoice();
        closing_press = session.TakeClosingPress();
    }
    if (closing_press && plat::IsWindow(closing_press->hwnd)) {
        // Delivered before anything else reads the queue: its release may
        // already be waiting there.
        plat::DispatchMessage(&*closing_press);
        return;
    }
    // Every menu window is gone now; the chosen action may open windows of
    // its own (a modal dialog) without fighting the menu for the input.
    // A choice brings the owner forward; a menu closed by a click into
    // another program leaves the activation where the click put it.
    const plat::HWND owner_root = plat::GetAncestor(owner, plat::GA_ROOT);
    if (!std::holds_alternative<std::monostate>(choice) && plat::IsWindow(owner_root) &&
        plat::GetForegroundWindow() != owner_root) {
        plat::SetForegroundWindow(owner_root);
    }
    if (auto* subroutine = std::get_if<std::function<void()>>(&choice)) {
        if (*subroutine) (*subroutine)();
    } else if (const auto* command = std::get_if<MenuCommand>(&choice)) {
        if (!plat::IsWindow(owner)) return;
        if (target != ControlHandle::None && ResolveControl(target) == nullptr) return;
        plat::SendMessage(owner, plat::WM_COMMAND, static_cast<uintptr_t>(command->id),
                          static_cast<intptr_t>(Raw(target)));
    }
}

}  // namespace

void ExPopupMenu::Popup(plat::HWND owner, int x, int y) {
    plat::POINT point{x, y};
    if (x == 0 && y == 0) plat::GetCursorPos(&point);
    const plat::SIZE size = MenuSize(m_items, m_width);
    RunMenu(owner, m_items, PlaceContextMenu(point, size, WorkArea()), size, false);
}

void ExPopupMenu::PopupAnchored(plat::HWND owner) {
    plat::RECT owner_rect{};
    if (!plat::GetWindowRect(owner, &owner_rect)) return;
    const plat::SIZE size = MenuSize(m_items, m_width);
    const plat::RECT area = WorkArea();
    plat::POINT at{owner_rect.left - kShadow, owner_rect.bottom - kShadow};
    if (at.y + size.cy > area.bottom) at.y = owner_rect.top - size.cy + kShadow;
    at.x = std::max(area.left, std::min(at.x, area.right - size.cx));
    at.y = std::max(area.top, std::min(at.y, area.bottom - size.cy));
    RunMenu(owner, m_items, at, size, true);
}

int ExPopupMenu::AddItem(std::string text, MenuHandler handler, MenuItemOptions options) {
    ExMenuItem item;
    item.text = std::move(text);
    item.image = std::move(options.image);
    item.state = options.state;
    item.kind = options.kind;
    item.handler = std::move(handler);
    if (options.text_colour) item.text_colour = *options.text_colour;
    item.draw_option1 = options.draw_option1;
    item.draw_option2 = options.draw_option2;
    m_items.push_back(std::move(item));
    return ItemCount();
}

int ExPopupMenu::AddSeparator() {
    MenuItemOptions options;
    options.kind = MenuItemKind::Separator;
    return AddItem({}, {}, std::move(options));
}

int ExPopupMenu::AddSubmenu(std::string text, const ExPopupMenu& submenu, MenuItemOptions options) {
    options.kind = MenuItemKind::Submenu;
    AddItem(std::move(text), {}, std::move(options));
    m_items.back().submenu = submenu.m_items;
    return ItemCount();
}

bool ExPopupMenu::RemoveItem(int position) {
    if (!CheckItem(position)) return false;
    m_items.erase(m_items.begin() + (position - 1));
    return true;
}

void ExPopupMenu::ClearItems() { m_items.clear(); }

ExMenuItem* ExPopupMenu::At(int position) {
    return CheckItem(position) ? &m_items[static_cast<size_t>(position - 1)] : nullptr;
}

const ExMenuItem* ExPopupMenu::At(int position) const {
    return CheckItem(position) ? &m_items[static_cast<size_t>(position - 1)] : nullptr;
}

int ExPopupMenu::ItemState(int position) const {
    const ExMenuItem* item = At(position);
    return item != nullptr ? item->state : 0;
}

int ExPopupMenu::ItemState(int position, int state) {
    ExMenuItem* item = At(position);
    if (item == nullptr) return 0;
    item->state = state;
    return item->state;
}

std::string ExPopupMenu::ItemText(int position) const {
    const ExMenuItem* item = At(position);
    return item != nullptr ? item->text : std::string();
}

std::string ExPopupMenu::ItemText(int position, std::string text) {
    ExMenuItem* item = At(position);
    if (item == nullptr) return {};
    item->text = std::move(text);
    return item->text;
}

std::string ExPopupMenu::ItemImage(int position) const {
    const ExMenuItem* item = At(position);
    return item != nullptr ? item->image : std::string();
}

std::string ExPopupMenu::ItemImage(int position, std::string bytes) {
    ExMenuItem* item = At(position);
    if (item == nullptr) return {};
    item->image = std::move(bytes);
    return item->image;
}

bool ExPopupMenu::CheckItem(int position) const {
    return position >= 1 && position <= ItemCount();
}

int ExPopupMenu::Width(int width) {
    m_width = width == 0 ? 0 : std::max(width, kMinWidth);
    return m_width;
}

}  // namespace dui

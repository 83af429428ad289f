// DefWindowProc: Windows' default handling of the messages the program
// leaves to it.

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/core_state.h"
#include "platform/platform.h"
#include "util/gbk_text.h"

namespace plat {
namespace {

void StoreText(HWND hwnd, LPCSTR text) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return;
    record->text = text ? text : "";
    if (record->IsTopLevel() && Core().system) {
        Core().system->SetTitle(hwnd, GbkToUtf8Text(record->text));
    }
}

// Moving and sizing follow the held left button, as Windows' modal
// move/size loop does; without it there is nothing to drag.
void SystemCommand(HWND hwnd, WPARAM command) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return;
    CoreState& core = Core();
    const WPARAM kind = command & 0xFFF0;
    if (kind == SC_SIZE || kind == SC_MOVE) {
        if (!record->IsTopLevel() || (record->style & (WS_MAXIMIZE | WS_MINIMIZE))) return;
        if (!(core.async_key_state[VK_LBUTTON] & 0x80)) return;
        POINT pointer;
        GetCursorPos(&pointer);
        if (kind == SC_MOVE) {
            System().BeginMoveDrag(hwnd, pointer);
        } else {
            const int edge = static_cast<int>(command & 0x0F);
            if (edge < WMSZ_LEFT || edge > WMSZ_BOTTOMRIGHT) return;
            const MINMAXINFO info = QueryMinMaxInfo(hwnd);
            if (!IsWindow(hwnd)) return;
            System().BeginResizeDrag(hwnd, edge, pointer,
                                     SIZE{info.ptMinTrackSize.x, info.ptMinTrackSize.y},
                                     SIZE{info.ptMaxTrackSize.x, info.ptMaxTrackSize.y});
        }
        ReleaseLeftButtonAfterDrag();
        return;
    }
    switch (kind) {
    case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
    case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
    case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
    case SC_CLOSE: SendMessage(hwnd, WM_CLOSE, 0, 0); break;
    default: break;
    }
}

}  // namespace

LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowRecord* record = Resolve(hwnd);
    if (!record) return 0;
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCT*>(lparam);
        if (create && create->lpszName) StoreText(hwnd, create->lpszName);
        return 1;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SETTEXT: StoreText(hwnd, reinterpret_cast<LPCSTR>(lparam)); return 1;
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lparam);
        if (!buffer || wparam == 0) return 0;
        const size_t count = std::min(record->text.size(), static_cast<size_t>(wparam - 1));
        std::memcpy(buffer, record->text.data(), count);
        buffer[count] = '\0';
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(record->text.size());
    case WM_GETICON:
        switch (wparam) {
        case ICON_BIG: return reinterpret_cast<LRESULT>(record->icon_big);
        case ICON_SMALL: return reinterpret_cast<LRESULT>(record->icon_small);
        case ICON_SMALL2:
            return reinterpret_cast<LRESULT>(record->icon_small ? record->icon_small
                                                                : record->icon_big);
        default: return 0;
        }
    case WM_SETICON: {
        HICON icon = reinterpret_cast<HICON>(lparam);
        HICON& slot = wparam == ICON_BIG ? record->icon_big : record->icon_small;
        HICON previous = slot;
        slot = icon;
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_SETCURSOR: {
        // A child asks its parent first; a parent that sets the cursor ends it.
        if (record->IsChild() && Resolve(record->parent)) {
            if (SendMessage(record->parent, WM_SETCURSOR, wparam, lparam)) return 1;
            record = Resolve(hwnd);
            if (!record) return 0;
        }
        if (static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lparam))) == HTCLIENT) {
            if (HCURSOR cursor = record->window_class->info.hCursor) SetCursor(cursor);
        } else {
            SetCursor(LoadCursor(nullptr, IDC_ARROW));
        }
        return 0;
    }
    case WM_NCHITTEST: {
        RECT rect;
        GetWindowRect(hwnd, &rect);
        const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        return Contains(rect, point) ? HTCLIENT : HTNOWHERE;
    }
    case WM_NCLBUTTONDOWN: {
        const int hit = static_cast<int>(wparam);
        if (hit == HTCAPTION) {
            SendMessage(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lparam);
        } else if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
            SendMessage(hwnd, WM_SYSCOMMAND, SC_SIZE + static_cast<WPARAM>(hit - HTLEFT + WMSZ_LEFT),
                        lparam);
        }
        return 0;
    }
    case WM_SYSCOMMAND: SystemCommand(hwnd, wparam); return 0;
    case WM_SYSKEYDOWN:
        if (wparam == static_cast<WPARAM>(VK_F4) && (lparam & (LPARAM{1} << 29))) {
            SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wparam) != WA_INACTIVE && !HIWORD(wparam) && ActivationMaySetFocus() &&
            record->IsTopLevel()) {
            SetFocus(hwnd);
        }
        return 0;
    case WM_NCACTIVATE: return 1;
    case WM_MOUSEACTIVATE: return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND: return 0;
    case WM_RBUTTONUP: {
        POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        ClientToScreen(hwnd, &point);
        SendMessage(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(point.x, point.y));
        return 0;
    }
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
        // Unhandled, they travel up to the parent.
        if (record->IsChild() && Resolve(record->parent)) {
            return SendMessage(record->parent, message, wparam, lparam);
        }
        return 0;
    case WM_IME_COMPOSITION:
        // An ANSI window that does not read the result string gets it as
        // WM_IME_CHAR, one per character.
        if (static_cast<DWORD>(lparam) & GCS_RESULTSTR) {
            char buffer[4096];
            const LONG count = ImmGetCompositionString(ImmGetContext(hwnd), GCS_RESULTSTR, buffer,
                                                       sizeof(buffer));
            const std::string_view result(buffer, std::clamp<size_t>(count > 0 ? static_cast<size_t>(count) : 0, 0, sizeof(buffer)));
            for (size_t i = 0; i < result.size(); i += util::GbkCharLength(result, i)) {
                const auto lead = static_cast<unsigned char>(result[i]);
                if (util::GbkCharLength(result, i) == 2) {
                    const auto trail = static_cast<unsigned char>(result[i + 1]);
                    PostInternal(hwnd, WM_IME_CHAR, (static_cast<WPARAM>(lead) << 8) | trail, 1);
                } else {
                    PostInternal(hwnd, WM_IME_CHAR, lead, 1);
                }
            }
        }
        return 0;
    case WM_IME_CHAR:
        // ...and WM_IME_CHAR becomes WM_CHAR bytes, lead byte first.
        if (wparam > 0xFF) PostInternal(hwnd, WM_CHAR, (wparam >> 8) & 0xFF, lparam);
        PostInternal(hwnd, WM_CHAR, wparam & 0xFF, lparam);
        return 0;
    default: return 0;
    }
}

}  // namespace plat

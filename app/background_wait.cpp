#include "app/background_wait.h"

namespace app {

bool ServeMessagesUntil(plat::HWND window, const std::function<bool()>& finished,
                        const MessageFilter& drop) {
    while (!finished()) {
        if (!plat::IsWindow(window)) return false;
        plat::MSG message{};
        const plat::BOOL got = plat::GetMessage(&message, nullptr, 0, 0);
        if (got == 0) {
            plat::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        if (got < 0) return false;
        if (drop && drop(message)) continue;
        plat::TranslateMessage(&message);
        plat::DispatchMessage(&message);
    }
    // The window can be destroyed by the very message that finished the
    // wait (a close confirmed while the result arrived).
    return plat::IsWindow(window) != 0;
}

}  // namespace app

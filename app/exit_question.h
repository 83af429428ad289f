#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace app {

// The question a close request of the main window asks.
inline constexpr const char* kExitQuestionText = "老衲写的这么辛苦,你真的要\r\n退出程序吗?";

// The main window's close confirmation, as a host message hook: a close
// request asks the exit question ("是的" lets the window close, "手贱了",
// Esc or the box's close button keep it), and the window's destruction
// ends the program.
class ExitQuestion {
public:
    // The hook: kNotHandled lets the host go on (close, destroy), 0 refuses
    // the close request.
    intptr_t ShowExitQuestion(plat::HWND window, uint32_t message, uintptr_t wparam,
                              intptr_t lparam);

    // True while the question is open. A close request arriving meanwhile
    // (a second click on the close button, the window manager) is refused,
    // so there is never a second box nor a second close.
    bool Asking() const { return m_asking; }

private:
    bool m_asking = false;
};

}  // namespace app

#include "app/exit_question.h"

#include "dui/controls/message_box.h"
#include "dui/core/host_window.h"

namespace app {

intptr_t ExitQuestion::ShowExitQuestion(plat::HWND window, uint32_t message, uintptr_t,
                                        intptr_t) {
    switch (message) {
        case plat::WM_DESTROY:
            plat::PostQuitMessage(0);
            return dui::kNotHandled;
        case plat::WM_CLOSE: {
            if (m_asking) return 0;
            m_asking = true;
            dui::MessageBoxOptions options;
            options.buttons = dui::kButtonsConfirmCancel;
            options.icon = dui::kIconQuestion;
            options.centre_on_owner = true;
            // Positions from the right: "手贱了" answers 1, "是的" 0.
            options.captions = {"手贱了", "是的"};
            options.default_button = 2;
            const int answer = dui::ShowMessageBox(window, kExitQuestionText, std::move(options));
            m_asking = false;
            return answer == dui::kCodeConfirm ? dui::kNotHandled : 0;
        }
        default:
            return dui::kNotHandled;
    }
}

}  // namespace app

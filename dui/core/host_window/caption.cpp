// The caption bar: where its buttons and title go, dragging the window by
// it and double-click maximise.

#include "dui/core/host_window.h"

#include <algorithm>

#include "dui/core/host_window/host_window_internal.h"

namespace dui {

using host_window_internal::kCaptionStep;
using host_window_internal::kCaptionTop;
using host_window_internal::kTitleHeight;
using host_window_internal::kTitleTop;

void ExHostWindow::LayoutCaption() {
    float x = float(m_width) - 5;
    if (m_flags & kFlagClose) x -= 12;
    for (const auto& button : m_caption_buttons) {
        x -= kCaptionStep;
        button->Move(x, kCaptionTop);
    }
    if ((m_flags & kFlagTitle) && m_title_label != nullptr &&
        m_title_label->GetHandle() != ControlHandle::None) {
        const float left = (m_flags & kFlagIcon) ? 29.0f : 11.0f;
        m_title_label->Move(left, kTitleTop, std::max(0.0f, x - left), kTitleHeight);
        if (m_title_label != nullptr) m_title_label->PaintNow();
    }
}

void ExHostWindow::DoubleClickMaximise() {
    const plat::HWND window = m_window;
    plat::SendMessage(window, plat::WM_SYSCOMMAND,
                      plat::IsZoomed(window) ? plat::SC_RESTORE : plat::SC_MAXIMIZE, 0);
    if (!Alive(window)) return;
    plat::POINT pointer{};
    plat::GetCursorPos(&pointer);
    plat::SendMessage(window, plat::WM_NCLBUTTONDOWN, plat::HTCAPTION,
                      plat::MAKELPARAM(pointer.x, pointer.y));
}

bool ExHostWindow::Draggable(bool value) {
    m_draggable = value;
    return m_draggable;
}

}  // namespace dui

#include "dui/core/caption_button.h"

#include "dui/core/canvas.h"
#include "dui/core/module.h"

namespace dui {
namespace {

// Left edge of the normal look of each face in the caption strip; the hover
// and pressed looks follow at one and two button widths. Faces are 19 rows.
constexpr int kFaceHeight = 19;
constexpr int kCloseX = 0;
constexpr int kMaximiseX = 117;
constexpr int kRestoreX = 201;
constexpr int kMinimiseX = 285;
constexpr int kExtraX[] = {369, 453, 537, 621};

constexpr int kFadeInterval = 60;

}  // namespace

ExCaptionButton::~ExCaptionButton() { Destroy(); }

int ExCaptionButton::WidthFor(CaptionRole role) { return role == CaptionRole::Close ? 39 : 28; }

ControlHandle ExCaptionButton::CreateCaptionButton(plat::HWND host, const RectF& bounds,
                                                   CaptionRole role) {
    m_role = role;
    m_look = kNormal;
    return Create(host, bounds, ControlKind::CaptionButton, true, true, std::nullopt,
                  kFadeInterval);
}

intptr_t ExCaptionButton::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case plat::WM_PAINT:
        case EX_MSG_REPAINTSTATE:
            PaintLook(m_look, 255);
            break;
        case plat::WM_TIMER:
            FadeTick();
            break;
        case EX_MSG_MOUSEENTER:
            PaintLook(kHover, 51);
            break;
        case EX_MSG_MOUSELEAVE:
            PaintLook(kNormal, 51);
            break;
        case EX_MSG_CLICK:
            RunCommand();
            break;
        default:
            return ExControl::OnMessage(message, wparam, lparam);
    }
    return kNotHandled;
}

intptr_t ExCaptionButton::OnPointerDown(const PointerEvent& event) {
    if (event.button == PointerButton::Left) PaintLook(kPressed, 153);
    return kNotHandled;
}

intptr_t ExCaptionButton::OnPointerUp(const PointerEvent& event) {
    if (event.button == PointerButton::Left) PaintLook(kHover, 153);
    return kNotHandled;
}

void ExCaptionButton::RunCommand() {
    plat::HWND window = GetHostHandle();
    switch (m_role) {
        case CaptionRole::Close:
            // Posted: closing may destroy the window, and with it this
            // button, which is still inside its own dispatch.
            plat::PostMessage(window, plat::WM_CLOSE, 0, 0);
            break;
        case CaptionRole::Maximise:
            plat::SendMessage(window, plat::WM_SYSCOMMAND,
                              plat::IsZoomed(window) ? plat::SC_RESTORE : plat::SC_MAXIMIZE, 0);
            break;
        case CaptionRole::Minimise:
            plat::SendMessage(window, plat::WM_SYSCOMMAND, plat::SC_MINIMIZE, 0);
            break;
        case CaptionRole::Extra1:
        case CaptionRole::Extra2:
        case CaptionRole::Extra3:
        case CaptionRole::Extra4:
            break;
    }
}

void ExCaptionButton::PaintLook(int look, int start_alpha) {
    m_look = look;
    FadeAlpha(start_alpha);
    ExCanvas* canvas = BeginPaint();
    if (canvas == nullptr) return;
    int face_x = kCloseX;
    switch (m_role) {
        case CaptionRole::Close:
            face_x = kCloseX;
            break;
        case CaptionRole::Maximise:
            face_x = plat::IsZoomed(GetHostHandle()) ? kRestoreX : kMaximiseX;
            break;
        case CaptionRole::Minimise:
            face_x = kMinimiseX;
            break;
        case CaptionRole::Extra1:
        case CaptionRole::Extra2:
        case CaptionRole::Extra3:
        case CaptionRole::Extra4:
            face_x = kExtraX[static_cast<int>(m_role) - static_cast<int>(CaptionRole::Extra1)];
            break;
    }
    const int width = WidthFor(m_role);
    if (const ExImage* strip = CaptionStrip()) {
        const RectF source{static_cast<float>(face_x + look * width), 0,
                           static_cast<float>(width), kFaceHeight};
        canvas->DrawImagePart(*strip, RectF{0, 0, static_cast<float>(width), kFaceHeight},
                              source);
    }
    EndPaint();
}

}  // namespace dui

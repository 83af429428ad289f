#include "tests/support/host_fixture.h"

#include <algorithm>

#include "dui/core/canvas.h"
#include "dui/core/module.h"
#include "platform/headless/headless.h"

namespace testing_support {

intptr_t RecordingControl::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    log.push_back({message, wparam, lparam});
    switch (message) {
        case plat::WM_PAINT:
            Paint();
            break;
        case plat::WM_TIMER:
            FadeTick();
            break;
        default:
            break;
    }
    auto found = m_answers.find(message);
    return found == m_answers.end() ? dui::kNotHandled : found->second;
}

void RecordingControl::Paint() {
    if (dui::ExCanvas* canvas = BeginPaint()) {
        canvas->Clear(m_colour);
        EndPaint();
    }
}

void RecordingControl::ChangeLook(dui::Argb colour, int start_alpha) {
    m_colour = colour;
    FadeAlpha(start_alpha);
    Paint();
}

bool RecordingControl::Received(uint32_t message) const { return Count(message) > 0; }

int RecordingControl::Count(uint32_t message) const {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const ReceivedMessage& m) {
        return m.message == message;
    }));
}

std::vector<ReceivedMessage> RecordingControl::Only(std::vector<uint32_t> messages) const {
    std::vector<ReceivedMessage> out;
    for (const ReceivedMessage& m : log) {
        if (std::find(messages.begin(), messages.end(), m.message) != messages.end()) {
            out.push_back(m);
        }
    }
    return out;
}

intptr_t TestTitleLabel::OnMessage(uint32_t message, uintptr_t, intptr_t) {
    if (message == plat::WM_PAINT) {
        if (dui::ExCanvas* canvas = BeginPaint()) {
            canvas->Clear(0);
            EndPaint();
        }
    }
    return dui::kNotHandled;
}

void HostFixture::SetUp() {
    plat::Initialise(plat::Backend::Headless);
    plat::headless::Reset();
    ASSERT_TRUE(dui::ModuleStartup());
    dui::TitleLabelFactory factory;
    factory.create = [](plat::HWND host_window, const dui::RectF& bounds, std::string_view text) {
        auto label = std::make_unique<TestTitleLabel>();
        label->text = std::string(text);
        label->Create(host_window, bounds, dui::ControlKind::Label, true, false);
        return std::unique_ptr<dui::ExControl>(std::move(label));
    };
    factory.set_text = [](dui::ExControl& label, std::string_view text) {
        static_cast<TestTitleLabel&>(label).text = std::string(text);
    };
    dui::SetTitleLabelFactory(std::move(factory));
}

void HostFixture::TearDown() {
    controls.clear();
    if (window != nullptr && plat::IsWindow(window)) plat::DestroyWindow(window);
    host.reset();
    dui::SetTitleLabelFactory({});
}

dui::AttachOptions HostFixture::PlainOptions() {
    dui::AttachOptions options;
    options.flags = 0;
    options.background_colour = 0xFFFFFF;
    options.resizable = false;
    return options;
}

void HostFixture::AttachHost(dui::AttachOptions options, int width, int height) {
    dui::HostWindowOptions window_options;
    window_options.title = "test";
    window_options.width = width;
    window_options.height = height;
    window = dui::CreateHostWindow(window_options);
    ASSERT_NE(window, nullptr);
    host = std::make_unique<dui::ExHostWindow>();
    ASSERT_TRUE(host->Attach(window, std::move(options)));
    plat::ShowWindow(window, plat::SW_SHOWNORMAL);
    Pump();
}

RecordingControl& HostFixture::AddControl(const dui::RectF& bounds, dui::ControlParent parent,
                                          dui::Argb colour, int fade_interval) {
    if (parent.host == nullptr && parent.control == dui::ControlHandle::None) parent.host = window;
    auto control = std::make_unique<RecordingControl>(colour);
    control->Create(parent, bounds, dui::ControlKind::TextControl, true, true, std::nullopt,
                    fade_interval);
    controls.push_back(std::move(control));
    return *controls.back();
}

int HostFixture::Pump() { return plat::headless::PumpMessages(); }

void HostFixture::Advance(uint64_t milliseconds) {
    plat::headless::AdvanceClock(milliseconds);
    Pump();
}

uint32_t HostFixture::ScreenPixel(int x, int y) const { return plat::headless::Pixel(window, x, y); }

}  // namespace testing_support

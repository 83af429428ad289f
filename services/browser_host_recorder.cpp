#include "services/browser_host_recorder.h"

namespace services {
namespace {

constexpr const char* kRecordingClass = "Ex_RecordingBrowser";
constexpr const char* kRecordProperty = "Ex_RecordingBrowser_Record";

plat::LRESULT RecordingWindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wparam,
                                  plat::LPARAM lparam) {
    if (message == plat::WM_NCDESTROY) {
        if (auto* record = static_cast<RecordedBrowser*>(plat::RemoveProp(window, kRecordProperty))) {
            record->window = nullptr;
            record->window_destroyed = true;
        }
    }
    return plat::DefWindowProc(window, message, wparam, lparam);
}

bool EnsureRecordingClass() {
    plat::WNDCLASSEX existing;
    if (plat::GetClassInfoEx(nullptr, kRecordingClass, &existing)) return true;
    plat::WNDCLASSEX window_class;
    window_class.lpfnWndProc = RecordingWindowProc;
    window_class.lpszClassName = kRecordingClass;
    return plat::RegisterClassEx(&window_class) != 0;
}

}  // namespace

class RecordingBrowserHost final : public BrowserHost {
public:
    RecordingBrowserHost(RecordedBrowser& record, const bool& fail_creation, int id)
        : m_record(record), m_fail_creation(fail_creation), m_id(id) {
        m_record.live = this;
    }
    ~RecordingBrowserHost() override {
        m_record.live = nullptr;
        m_record.object_destroyed = true;
        if (m_record.window != nullptr) plat::DestroyWindow(m_record.window);
    }

    bool Create(plat::HWND parent, std::optional<std::string> address, int x, int y,
                std::optional<int> width, std::optional<int> height, std::optional<uint32_t> style,
                std::optional<uint32_t> ex_style) override {
        if (m_record.window != nullptr) return true;
        m_record.parent = parent;
        m_record.created_with = address;
        const int w = width.value_or(kDefaultBrowserWidth);
        const int h = height.value_or(kDefaultBrowserHeight);
        m_record.rect = plat::RECT{x, y, x + w, y + h};
        if (m_fail_creation || !EnsureRecordingClass()) return false;
        const plat::HWND window = plat::CreateWindowEx(
            ex_style.value_or(kDefaultBrowserExStyle), kRecordingClass, "",
            plat::WS_CHILD | plat::WS_VISIBLE | style.value_or(0), x, y, w, h, parent,
            reinterpret_cast<plat::HMENU>(static_cast<intptr_t>(m_id)), nullptr, nullptr);
        if (window == nullptr) return false;
        plat::SetProp(window, kRecordProperty, &m_record);
        m_record.window = window;
        m_record.id = m_id;
        return true;
    }
    bool ConnectEvents() override { return m_record.window != nullptr; }
    plat::HWND Window() const override { return m_record.window; }
    int Id() const override { return m_record.window != nullptr ? m_id : 0; }

    bool Navigate(std::string_view address, std::optional<std::string>, std::optional<std::string>,
                  std::optional<std::string>) override {
        if (m_record.window == nullptr) return false;
        m_record.navigations.emplace_back(address);
        return true;
    }
    void Command(int number) override {
        if (m_record.window != nullptr) m_record.commands.push_back(number);
    }
    std::string Title(std::optional<std::string> text) override {
        if (text.has_value()) m_record.title = std::move(*text);
        return m_record.title;
    }
    std::string Location() override {
        if (!m_record.navigations.empty()) return m_record.navigations.back();
        return m_record.created_with.value_or("");
    }

    void Emit(const BrowserEvent& event) { BrowserHost::Fire(event); }

private:
    RecordedBrowser& m_record;
    const bool& m_fail_creation;
    int m_id;
};

BrowserHostRecorder::BrowserHostRecorder() {
    SetBrowserHostFactory([this]() -> std::unique_ptr<BrowserHost> {
        m_browsers.push_back(std::make_unique<RecordedBrowser>());
        const int id = kFirstBrowserId + static_cast<int>(m_browsers.size()) - 1;
        return std::make_unique<RecordingBrowserHost>(*m_browsers.back(), m_fail_creation, id);
    });
}

BrowserHostRecorder::~BrowserHostRecorder() {
    SetBrowserHostFactory({});
    for (const auto& record : m_browsers) {
        if (record->window != nullptr) plat::RemoveProp(record->window, kRecordProperty);
    }
}

void BrowserHostRecorder::Fire(RecordedBrowser& browser, const BrowserEvent& event) {
    if (browser.live != nullptr) browser.live->Emit(event);
}

}  // namespace services

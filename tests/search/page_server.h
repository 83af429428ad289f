#pragma once

#include <httplib.h>
#include <unistd.h>

#include <atomic>

#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

// A loopback server that answers every GET with one configurable page and
// remembers the request target it was asked for.
class PageServer {
public:
    PageServer() {
        m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(m_mutex);
            m_last_target = request.target;
            response.status = m_status;
            response.set_content(m_body, m_content_type.c_str());
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] {
            m_server.listen_after_bind();
            m_finished = true;
        });
        // stop() only ends a loop that is already running.
        while (!m_server.is_running() && !m_finished) usleep(1000);
    }
    ~PageServer() {
        m_server.stop();
        m_thread.join();
    }
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    void Serve(std::string body, std::string content_type, int status = 200) {
        std::lock_guard lock(m_mutex);
        m_body = std::move(body);
        m_content_type = std::move(content_type);
        m_status = status;
    }
    std::string LastTarget() const {
        std::lock_guard lock(m_mutex);
        return m_last_target;
    }
    std::string Root() const { return "http://127.0.0.1:" + std::to_string(m_port); }

private:
    httplib::Server m_server;
    std::thread m_thread;
    std::atomic<bool> m_finished = false;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::string m_body;
    std::string m_content_type = "text/html";
    int m_status = 200;
    std::string m_last_target;
};

}  // namespace testing_support

#pragma once

#include <httplib.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>

namespace testing_support {

// An HTTP server on 127.0.0.1 and a free port, serving on a background
// thread for the lifetime of the object. Register routes on Routes() before
// Start(); the destructor stops the server and waits for it.
class LoopbackServer {
public:
    LoopbackServer() = default;
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    httplib::Server& Routes() { return m_server; }
    void Start();  // throws when no port can be bound

    int Port() const { return m_port; }
    std::string Url(std::string_view path = "/") const;  // "http://127.0.0.1:<port><path>"

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
    std::atomic<bool> m_finished{false};
};

}  // namespace testing_support

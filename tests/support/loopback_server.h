#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace testing_support {

// An HTTP or HTTPS server on 127.0.0.1 and a free port, serving on a
// background thread for the lifetime of the object. Register routes on
// Routes() before Start(); the destructor stops the server and waits for it.
class LoopbackServer {
public:
    // Certificate and key files (PEM) of an HTTPS server.
    struct Tls {
        std::string certificate;
        std::string private_key;
    };

    LoopbackServer();
    explicit LoopbackServer(const Tls& tls);  // throws when the files are unusable
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    httplib::Server& Routes() { return *m_server; }
    void Start();  // throws when no port can be bound

    int Port() const { return m_port; }
    // "http://127.0.0.1:<port><path>", or https for a TLS server.
    std::string Url(std::string_view path = "/") const;

private:
    std::unique_ptr<httplib::Server> m_server;
    bool m_secure = false;
    std::thread m_thread;
    int m_port = -1;
    std::atomic<bool> m_finished{false};
};

// The self-signed certificate (for 127.0.0.1 and localhost) and key of the
// test fixtures, valid 2000-2100.
LoopbackServer::Tls LoopbackTls();

}  // namespace testing_support

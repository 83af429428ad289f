#include "tests/support/loopback_server.h"

#include <stdexcept>

#include "tests/support/paths.h"

namespace testing_support {

LoopbackServer::LoopbackServer() : m_server(std::make_unique<httplib::Server>()) {}

LoopbackServer::LoopbackServer(const Tls& tls)
    : m_server(
          std::make_unique<httplib::SSLServer>(tls.certificate.c_str(), tls.private_key.c_str())),
      m_secure(true) {
    if (!m_server->is_valid())
        throw std::runtime_error("LoopbackServer: unusable certificate or key");
}

LoopbackServer::~LoopbackServer() {
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

void LoopbackServer::Start() {
    // The socket listens once bound, so requests made before the thread
    // reaches its accept loop simply wait in the backlog.
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("LoopbackServer: cannot bind a loopback port");
    m_thread = std::thread([this] {
        m_server->listen_after_bind();
        m_finished = true;
    });
    // stop() is only heard once the accept loop runs; wait for it so a short
    // test cannot leave the server running past its destructor.
    while (!m_server->is_running() && !m_finished) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string LoopbackServer::Url(std::string_view path) const {
    return std::string(m_secure ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) +
           std::string(path);
}

LoopbackServer::Tls LoopbackTls() {
    return {FixturePath("http/loopback.crt"), FixturePath("http/loopback.key")};
}

}  // namespace testing_support

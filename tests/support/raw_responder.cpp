#include "tests/support/raw_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace testing_support {
namespace {

constexpr std::size_t kMaxRequestBytes = 1 << 20;
constexpr int kReadWaitMs = 2000;

int BindLoopback(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

// Content-Length of a request head, 0 when absent or unreadable.
std::size_t ContentLength(const std::string& head) {
    std::string lower;
    for (char c : head) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    std::size_t value = 0;
    for (std::size_t i = at + 17; i < lower.size() && value < kMaxRequestBytes; ++i) {
        if (lower[i] == ' ') continue;
        if (lower[i] < '0' || lower[i] > '9') break;
        value = value * 10 + static_cast<std::size_t>(lower[i] - '0');
    }
    return value;
}

}  // namespace

RawResponder::Handler RawResponder::Reply(std::string response) {
    return [response = std::move(response)](Connection& connection) { connection.Send(response); };
}

RawResponder::RawResponder(Handler handler) : m_handler(std::move(handler)) {
    m_listen_fd = BindLoopback(&m_port);
    if (m_listen_fd < 0 || ::listen(m_listen_fd, 16) != 0) {
        throw std::runtime_error("RawResponder: cannot listen on the loopback interface");
    }
    m_thread = std::thread([this] { Serve(); });
}

RawResponder::~RawResponder() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    ::close(m_listen_fd);
}

std::string RawResponder::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

std::vector<std::string> RawResponder::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void RawResponder::Serve() {
    while (!m_stopping) {
        pollfd waiting{m_listen_fd, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0) continue;
        const int fd = ::accept4(m_listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Connection connection(*this, fd);
        ReadRequest(connection);
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(connection.m_request);
        }
        m_handler(connection);
        if (!connection.m_reset) ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }
}

void RawResponder::ReadRequest(Connection& connection) {
    std::string& request = connection.m_request;
    std::size_t wanted = 0;  // total bytes once the head is complete
    char buffer[4096];
    while (request.size() < kMaxRequestBytes && (wanted == 0 || request.size() < wanted)) {
        pollfd waiting{connection.m_fd, POLLIN, 0};
        if (::poll(&waiting, 1, kReadWaitMs) <= 0) return;
        const ssize_t got = ::recv(connection.m_fd, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        request.append(buffer, static_cast<std::size_t>(got));
        if (wanted == 0) {
            const std::size_t head_end = request.find("\r\n\r\n");
            if (head_end != std::string::npos) {
                wanted = head_end + 4 + ContentLength(request.substr(0, head_end + 2));
            }
        }
    }
}

bool RawResponder::Connection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void RawResponder::Connection::Reset() {
    // A zero linger time makes close() send RST and drop unsent data.
    const linger abort{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    m_reset = true;
}

bool RawResponder::Connection::Pause(int milliseconds) {
    std::unique_lock lock(m_owner.m_mutex);
    return !m_owner.m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                    [this] { return m_owner.m_stopping.load(); });
}

int UnusedLoopbackPort() {
    int port = 0;
    const int fd = BindLoopback(&port);
    if (fd < 0) throw std::runtime_error("UnusedLoopbackPort: cannot bind");
    ::close(fd);  // bound but never listened on: connections are refused
    return port;
}

}  // namespace testing_support

#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testing_support {

// A loopback TCP server that answers each connection with exactly the bytes
// a test chooses: malformed status lines, bare line feeds, stalled or
// endless bodies, which no well-behaved server library would produce.
// Connections are served one after another on one background thread.
class RawResponder {
public:
    // One accepted connection, as the handler sees it.
    class Connection {
    public:
        // The request head and whatever body arrived with it (the body is
        // read as far as Content-Length says, up to 1 MiB).
        const std::string& Request() const { return m_request; }
        // False once the peer has gone.
        bool Send(std::string_view bytes);
        // Waits `milliseconds`; false (at once) when the responder is
        // being destroyed, so a stalling handler never delays the test.
        bool Pause(int milliseconds);
        // Ends the connection with a reset instead of an orderly close.
        void Reset();

    private:
        friend class RawResponder;
        Connection(RawResponder& owner, int fd) : m_owner(owner), m_fd(fd) {}
        RawResponder& m_owner;
        int m_fd;
        bool m_reset = false;
        std::string m_request;
    };
    using Handler = std::function<void(Connection&)>;

    // Answers every connection with the same bytes, then closes it.
    static Handler Reply(std::string response);

    explicit RawResponder(Handler handler);
    ~RawResponder();
    RawResponder(const RawResponder&) = delete;
    RawResponder& operator=(const RawResponder&) = delete;

    int Port() const { return m_port; }
    std::string Url(std::string_view path = "/") const;  // "http://127.0.0.1:<port><path>"
    std::vector<std::string> Requests() const;           // in arrival order

private:
    void Serve();
    void ReadRequest(Connection& connection);

    Handler m_handler;
    int m_listen_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// A port on the loopback interface that nothing listens on.
int UnusedLoopbackPort();

}  // namespace testing_support

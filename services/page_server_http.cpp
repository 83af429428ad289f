// The page server of services/page_server.h over the HTTP library's server.
// Part of the HTTP module in the program; tests link it directly.
#include "services/page_server.h"

#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace services {
namespace {

constexpr std::size_t kMaxRequestBody = 64 * 1024;

// Runs every connection on a thread of its own, up to kMaxThreads at once;
// more wait for a thread to come free. The library's fixed pool of a few
// threads would let that many idle keep-alive connections hold back every
// other request, since each occupies its thread until it times out.
class ConnectionThreads : public httplib::TaskQueue {
public:
    static constexpr std::size_t kMaxThreads = 512;

    ~ConnectionThreads() override { shutdown(); }

    void enqueue(std::function<void()> task) override {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(task));
        ReapFinished();
        if (m_busy < kMaxThreads) {
            ++m_busy;
            const std::size_t slot = m_next_slot++;
            m_threads.emplace(slot, std::thread([this, slot] { Work(slot); }));
        }
    }

    // Waits for every connection to end; later enqueues are still run.
    void shutdown() override {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_busy == 0 && m_pending.empty(); });
        ReapFinished();
    }

private:
    void Work(std::size_t slot) {
        std::unique_lock lock(m_mutex);
        while (!m_pending.empty()) {
            std::function<void()> task = std::move(m_pending.front());
            m_pending.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        --m_busy;
        m_finished.push_back(slot);
        m_idle.notify_all();
    }

    // Joins the threads that have left Work (called with the lock held).
    void ReapFinished() {
        for (const std::size_t slot : m_finished) {
            auto found = m_threads.find(slot);
            if (found == m_threads.end()) continue;
            found->second.join();
            m_threads.erase(found);
        }
        m_finished.clear();
    }

    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_pending;
    std::map<std::size_t, std::thread> m_threads;
    std::vector<std::size_t> m_finished;
    std::size_t m_busy = 0;
    std::size_t m_next_slot = 0;
};

// The library's server on a socket bound and listening already.
class AdoptingServer : public httplib::Server {
public:
    bool ListenOn(int listening) {
        svr_sock_ = listening;
        return listen_after_bind();
    }
};

class HttpPageServer final : public PageServer {
public:
    explicit HttpPageServer(PageHandler handler) : m_handler(std::move(handler)) {
        m_http.set_payload_max_length(kMaxRequestBody);
        m_http.set_read_timeout(5, 0);
        m_http.set_write_timeout(5, 0);
        // An idle keep-alive connection gives up its thread after two seconds.
        m_http.set_keep_alive_timeout(2);
        // The library owns the queue it is handed.
        m_http.new_task_queue = [] { return new ConnectionThreads; };
        // Every request is answered here; the library's own routing (regular
        // expressions over the raw path) is never reached.
        m_http.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
            Answer(request, response);
            return httplib::Server::HandlerResponse::Handled;
        });
    }

    ~HttpPageServer() override { Stop(); }

    void Start(int listening) {
        m_thread = std::thread([this, listening] {
            m_http.ListenOn(listening);
            m_finished = true;
        });
        // stop() only ends a loop that is already running: wait for it, so
        // that a Stop() right after the start cannot be lost.
        while (!m_http.is_running() && !m_finished) usleep(1000);
    }

    void Stop() override {
        m_http.stop();
        if (m_thread.joinable()) m_thread.join();
    }

private:
    void Answer(const httplib::Request& request, httplib::Response& response) const {
        PageRequest asked;
        asked.method = request.method;
        asked.path = request.path;
        for (const auto& [name, value] : request.params) asked.params.emplace_back(name, value);
        Page page = m_handler(asked);
        response.status = page.status;
        response.set_content(std::move(page.body), page.content_type.c_str());
    }

    PageHandler m_handler;
    AdoptingServer m_http;
    std::thread m_thread;
    std::atomic<bool> m_finished = false;
};

}  // namespace

std::unique_ptr<PageServer> StartPageServer(int listening, PageHandler handler, std::string* error) {
    if (listening < 0 || !handler) {
        if (listening >= 0) close(listening);
        if (error != nullptr) *error = "no socket to serve on";
        return nullptr;
    }
    auto server = std::make_unique<HttpPageServer>(std::move(handler));
    server->Start(listening);
    return server;
}

}  // namespace services

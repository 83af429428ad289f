// How soon a cancelled request returns: the cancel comes while a server
// that accepts the connection and never answers keeps the request waiting,
// the case where the transfer gets no progress calls from the library.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "services/http.h"

namespace {

double NowSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A loopback port whose connections the kernel completes and nobody reads.
class SilentListener {
public:
    SilentListener() {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(m_fd, 1024) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener() {
        if (m_fd >= 0) close(m_fd);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
    bool Ready() const { return m_port != 0; }

private:
    int m_fd = -1;
    int m_port = 0;
};

void BM_CancelStalledRequest(benchmark::State& state) {
    SilentListener server;
    if (!server.Ready()) {
        state.SkipWithError("cannot listen on the loopback interface");
        return;
    }
    for (auto _ : state) {
        services::CancelToken cancel;
        double cancelled_at = 0;
        std::thread canceller([&cancel, &cancelled_at] {
            usleep(30'000);  // the request is connected and waiting by now
            cancelled_at = NowSeconds();
            cancel.Cancel();
        });
        const services::HttpResult result =
            services::WebRequestResult(server.Url(), {.cancel = cancel});
        const double returned_at = NowSeconds();
        canceller.join();
        if (result.failure != services::HttpFailure::Cancelled) {
            state.SkipWithError("the request was not cancelled");
            return;
        }
        state.SetIterationTime(returned_at - cancelled_at);
    }
}
BENCHMARK(BM_CancelStalledRequest)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

}  // namespace

BENCHMARK_MAIN();

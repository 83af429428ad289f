// The page server answers every request on the caller's socket with the
// handler's page, and owns that socket from the start on.

#include "services/page_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "services/http.h"

namespace {

// A listening socket on a free loopback port, and that port.
int ListenOnLoopback(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, SOMAXCONN) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

TEST(PageServerTest, AnswersWithTheHandlersPageStatusAndType) {
    int port = 0;
    const int listening = ListenOnLoopback(port);
    ASSERT_GE(listening, 0);
    std::atomic<int> asked = 0;
    std::string error;
    auto server = services::StartPageServer(
        listening,
        [&](const services::PageRequest& request) {
            ++asked;
            if (request.path != "/page") return services::Page{404, "none", "text/plain"};
            return services::Page{200, request.method + " " + request.Param("q") + "|" + request.Param("absent"),
                                  "text/plain; charset=utf-8"};
        },
        &error);
    ASSERT_NE(server, nullptr) << error;
    const std::string origin = "http://127.0.0.1:" + std::to_string(port);

    std::string headers;
    services::HttpResult found =
        services::WebRequestResult(origin + "/page?q=a%20b&q=second", {.response_headers = &headers});
    EXPECT_EQ(found.status, 200);
    EXPECT_EQ(found.body, "GET a b|") << "the first value of a parameter, decoded; \"\" for none";
    EXPECT_NE(headers.find("text/plain; charset=utf-8"), std::string::npos) << headers;

    const services::HttpResult missing = services::WebRequestResult(origin + "/other");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.failure, services::HttpFailure::HttpStatus);
    EXPECT_EQ(asked, 2);

    server->Stop();
    EXPECT_EQ(services::WebRequestResult(origin + "/page").failure, services::HttpFailure::Refused)
        << "the socket is closed with the server";
}

TEST(PageServerTest, NoSocketOrNoHandlerIsRefusedAndTheSocketClosed) {
    std::string error;
    EXPECT_EQ(services::StartPageServer(-1, [](const services::PageRequest&) { return services::Page{}; }, &error),
              nullptr);
    EXPECT_FALSE(error.empty());

    int port = 0;
    const int listening = ListenOnLoopback(port);
    ASSERT_GE(listening, 0);
    EXPECT_EQ(services::StartPageServer(listening, nullptr), nullptr);
    EXPECT_EQ(fcntl(listening, F_GETFD), -1) << "the server owns the socket also when it cannot start";
}

}  // namespace

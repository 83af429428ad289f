#include "app/cli.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/demo_engines.h"
#include "search/result_output.h"
#include "tests/support/paths.h"
#include "tests/support/raw_responder.h"

extern char** environ;

namespace {

std::string U8(std::u8string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> SplitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        cells.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return cells;
        start = tab + 1;
    }
}

// Runs the program with a settings directory of the test's own, so that the
// user's sites.conf never leaks in.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_config = std::filesystem::temp_directory_path() /
                   ("seed-searcher-cli-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_config / "seed-searcher");
    }
    void TearDown() override { std::filesystem::remove_all(m_config); }

    void WriteSettings(const std::string& text) {
        std::ofstream(m_config / "seed-searcher" / "sites.conf") << text;
    }

    pid_t Spawn(const std::vector<std::string>& args, int& out_fd, int& err_fd) {
        int out_pipe[2];
        int err_pipe[2];
        if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return -1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
        posix_spawn_file_actions_addclose(&actions, err_pipe[0]);

        const std::string binary = testing_support::BinaryPath("seed-searcher");
        std::vector<char*> argv{const_cast<char*>(binary.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> env_text{"XDG_CONFIG_HOME=" + m_config.string()};
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::string_view(*e).starts_with("XDG_CONFIG_HOME=")) continue;
            env_text.emplace_back(*e);
        }
        std::vector<char*> env;
        for (std::string& e : env_text) env.push_back(e.data());
        env.push_back(nullptr);

        pid_t pid = -1;
        if (posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), env.data()) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out_pipe[1]);
        close(err_pipe[1]);
        out_fd = out_pipe[0];
        err_fd = err_pipe[0];
        return pid;
    }

    // Reads until both pipes close (or 60 s pass, then the child is killed).
    Outcome Run(const std::vector<std::string>& args) {
        Outcome outcome;
        int fds[2];
        const pid_t pid = Spawn(args, fds[0], fds[1]);
        if (pid < 0) return outcome;
        std::string* sinks[2] = {&outcome.out, &outcome.err};
        const std::time_t deadline = std::time(nullptr) + 60;
        int open_count = 2;
        pollfd polls[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
        while (open_count > 0 && std::time(nullptr) < deadline) {
            if (poll(polls, 2, 1000) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (polls[i].fd < 0 || polls[i].revents == 0) continue;
                char buffer[4096];
                const ssize_t n = read(polls[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
                } else {
                    close(polls[i].fd);
                    polls[i].fd = -1;
                    --open_count;
                }
            }
        }
        if (open_count > 0) kill(pid, SIGKILL);
        for (const pollfd& p : polls) {
            if (p.fd >= 0) close(p.fd);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return outcome;
    }

    std::filesystem::path m_config;
};

TEST_F(CliTest, HelpAndVersionOnTheProgramAndEveryCommand) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"search", "--help"}, {"resolve", "--help"},
          {"demo-server", "--help"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 0) << args[0];
        EXPECT_NE(outcome.out.find("Usage: seed-searcher"), std::string::npos) << args[0];
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"}, {"search", "--version"}, {"resolve", "--version"},
          {"demo-server", "--version"}, {"skin", "--version"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 0) << args[0];
        EXPECT_EQ(outcome.out.rfind("seed-searcher ", 0), 0u) << args[0];
    }
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"search"}, {"search", "--engine", "4", "x"},
          {"search", "--engine"}, {"search", "--page", "1.5", "x"},
          {"search", "--page", "99999999999", "x"}, {"search", "--bogus", "x"},
          {"search", "a", "b"}, {"search", "--engine-root", "1=nowhere", "x"},
          {"search", "--engine", "1,4", "x"}, {"search", "--sort", "nosuch", "x"},
          {"resolve"}, {"resolve", "a", "b"}, {"demo-server", "--port", "70000"},
          {"frobnicate"}, {"--site"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_TRUE(outcome.out.empty());
        EXPECT_NE(outcome.err.find("seed-searcher: "), std::string::npos);
    }
}

class CliSearchTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        ASSERT_TRUE(m_demo.Start());
    }
    std::string Root(int engine) const {
        return std::to_string(engine) + "=" + m_demo.Sites().engine_roots[engine - 1];
    }
    app::DemoEngines m_demo;
};

TEST_F(CliSearchTest, EveryEngineListsItsRowsWithTabSeparatedCells) {
    const std::size_t columns[] = {7, 4, 4};
    for (int engine = 1; engine <= 3; ++engine) {
        const Outcome outcome = Run({"search", "--engine", std::to_string(engine),
                                     "--engine-root", Root(engine), "BUNNY"});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        const auto lines = SplitLines(outcome.out);
        ASSERT_EQ(lines.size(), 2u) << engine;
        for (const std::string& line : lines) {
            EXPECT_EQ(SplitCells(line).size(), columns[engine - 1]) << line;
        }
        const std::string name = SplitCells(lines[1])[0];
        EXPECT_NE(name.find(U8(u8"大雄兔 Big Buck Bunny")), std::string::npos) << name;
    }
}

TEST_F(CliSearchTest, ChineseKeywordAndEngineOneCells) {
    const Outcome outcome = Run({"search", "--engine-root", Root(1), U8(u8"红楼梦")});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const auto lines = SplitLines(outcome.out);
    ASSERT_EQ(lines.size(), 1u);
    const auto cells = SplitCells(lines[0]);
    ASSERT_EQ(cells.size(), 7u);
    EXPECT_EQ(cells[0], U8(u8" 红楼梦 曹雪芹 全本 (TXT+EPUB)"));
    EXPECT_EQ(cells[1], "2015-03-08");
    EXPECT_EQ(cells[5], U8(u8"极快"));
    EXPECT_TRUE(cells[6].ends_with(U8(u8"&dn=红楼梦 曹雪芹 全本 (TXT+EPUB)&xl=6711296")));
}

TEST_F(CliSearchTest, PagesStepThroughTheCatalogue) {
    const Outcome first = Run({"search", "--engine", "2", "--engine-root", Root(2), ""});
    const Outcome second =
        Run({"search", "--engine", "2", "--page", "2", "--engine-root", Root(2), ""});
    EXPECT_EQ(SplitLines(first.out).size(), 10u);
    EXPECT_EQ(SplitLines(second.out).size(), 10u);
    EXPECT_NE(first.out, second.out);
    for (const char* page : {"0", "-1", "1000"}) {
        const Outcome empty =
            Run({"search", "--engine", "3", "--page", page, "--engine-root", Root(3), ""});
        EXPECT_EQ(empty.status, 0);
        EXPECT_EQ(empty.out, "") << page;
    }
}

TEST_F(CliSearchTest, ResolveReadsEngineTwoDetailPages) {
    const Outcome found = Run({"search", "--engine", "2", "--engine-root", Root(2), "sintel"});
    const auto lines = SplitLines(found.out);
    ASSERT_EQ(lines.size(), 2u);
    const std::string detail = SplitCells(lines[0])[3];
    const Outcome resolved = Run({"resolve", detail});
    EXPECT_EQ(resolved.status, 0);
    EXPECT_TRUE(resolved.out.starts_with("magnet:?xt=urn:btih:")) << resolved.out;
    EXPECT_TRUE(resolved.out.ends_with("&dn=Sintel (2010) 1080p&xl=1222639616\n")) << resolved.out;

    const Outcome missing = Run({"resolve", m_demo.Origin() + "/engine2/detail/99999"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("engine 2 detail page: http-status"), std::string::npos)
        << missing.err;
}

TEST_F(CliSearchTest, JsonOutputIsValidAndComplete) {
    const Outcome outcome =
        Run({"search", "--json", "--engine", "1", "--engine-root", Root(1), "jazz"});
    ASSERT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.starts_with(U8(u8"{\"engine\":1,\"page\":1,\"columns\":[\"文件名\",\"添加时间\",")))
        << outcome.out;
    EXPECT_NE(outcome.out.find("\"rows\":[[\" Jazz &amp; Blues &lt;Live at the Commons&gt; (CC BY)\""),
              std::string::npos)
        << outcome.out;
    const std::string file = (m_config / "out.json").string();
    std::ofstream(file) << outcome.out;
    if (std::system("python3 -c 'import json' >/dev/null 2>&1") == 0) {
        const std::string check = "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
                                  "assert len(d[\"rows\"])==1 and len(d[\"rows\"][0])==7' " + file;
        EXPECT_EQ(std::system(check.c_str()), 0);
    }
    const Outcome none = Run({"search", "--json", "--page", "-3", "--engine-root", Root(1), "x"});
    EXPECT_NE(none.out.find("\"page\":-3"), std::string::npos);
    EXPECT_TRUE(none.out.ends_with("\"rows\":[],\"error\":null}\n")) << none.out;
}

TEST_F(CliSearchTest, BuiltInDemoAndSettingsFileProblems) {
    WriteSettings("engine1 = http://127.0.0.1:1\nbogus = 1\nengine1 = nope\n");
    // engine1 from the file is unreachable: no rows, and the site failed.
    const Outcome from_file = Run({"search", "bunny"});
    EXPECT_EQ(from_file.status, 3);
    EXPECT_EQ(from_file.out, "");
    EXPECT_NE(from_file.err.find("engine 1: refused"), std::string::npos) << from_file.err;
    EXPECT_NE(from_file.err.find("sites.conf:2: unknown key \"bogus\""), std::string::npos)
        << from_file.err;
    EXPECT_NE(from_file.err.find("sites.conf:3: "), std::string::npos);

    // The command line wins over the file; engine 2 falls back to the demo.
    EXPECT_EQ(SplitLines(Run({"search", "--engine-root", Root(1), "bunny"}).out).size(), 2u);
    EXPECT_EQ(SplitLines(Run({"search", "--engine", "2", "bunny"}).out).size(), 2u);
}

// Every network failure is told apart from "no results": one stderr line
// naming the engine and the failure kind, exit status 3, and the kind in JSON.
TEST_F(CliTest, SiteFailuresAreReportedWithTheirKind) {
    using testing_support::RawResponder;
    RawResponder reset([](RawResponder::Connection& connection) { connection.Reset(); });
    RawResponder too_large(
        RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\nx"));
    RawResponder bad_chunks(RawResponder::Reply(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n"));
    RawResponder to_ftp(RawResponder::Reply(
        "HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1/x\r\nContent-Length: 0\r\n\r\n"));
    RawResponder loop(RawResponder::Reply(
        "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n"));
    RawResponder not_tls(RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi"));
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
    const std::string not_tls_root = "https://127.0.0.1:" + std::to_string(not_tls.Port());
    const std::pair<std::string, std::string> cases[] = {
        {refused, "refused"},
        {reset.Url(""), "reset"},
        {too_large.Url(""), "too-large"},
        {bad_chunks.Url(""), "bad-response"},
        {to_ftp.Url(""), "bad-scheme"},
        {loop.Url(""), "bad-redirect"},
        {not_tls_root, "tls"},
        {"http://127.0.0.1:99999", "bad-address"},
    };
    for (const auto& [root, kind] : cases) {
        const Outcome outcome = Run({"search", "--engine", "2", "--engine-root", "2=" + root, "kw"});
        EXPECT_EQ(outcome.status, 3) << kind << ": " << outcome.err;
        EXPECT_EQ(outcome.out, "") << kind;
        EXPECT_EQ(SplitLines(outcome.err).size(), 1u) << outcome.err;
        EXPECT_TRUE(outcome.err.starts_with("seed-searcher: engine 2: " + kind + " ("))
            << kind << ": " << outcome.err;

        const Outcome json =
            Run({"search", "--json", "--engine", "2", "--engine-root", "2=" + root, "kw"});
        EXPECT_EQ(json.status, 3) << kind;
        EXPECT_NE(json.out.find("\"rows\":[],\"error\":{\"kind\":\"" + kind + "\",\"detail\":\""),
                  std::string::npos)
            << json.out;
    }
    const Outcome resolve = Run({"resolve", refused + "/detail/1"});
    EXPECT_EQ(resolve.status, 3);
    EXPECT_EQ(resolve.out, "");
    EXPECT_TRUE(resolve.err.starts_with("seed-searcher: engine 2 detail page: refused ("))
        << resolve.err;
}

// Several engines: rows engine by engine, one status line each, and the
// exit status says whether any engine answered.
TEST_F(CliSearchTest, SeveralEnginesListTheirRowsInEngineOrder) {
    const std::string refused =
        "2=http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
    const Outcome some = Run({"search", "--engine", "all", "--engine-root", Root(1),
                              "--engine-root", refused, "--engine-root", Root(3), "bunny"});
    EXPECT_EQ(some.status, 0) << some.err;
    std::string engines;
    for (const std::string& line : SplitLines(some.out)) engines += line.substr(0, 2);
    EXPECT_EQ(engines, "1\t1\t3\t3\t");
    EXPECT_EQ(SplitLines(some.err).size(), 3u) << some.err;
    EXPECT_NE(some.err.find("seed-searcher: engine 1: 2 rows in "), std::string::npos) << some.err;
    EXPECT_NE(some.err.find("seed-searcher: engine 2: failed: refused ("), std::string::npos);

    const Outcome none = Run({"search", "--engine", "2,2", "--json", "--engine-root", refused, "x"});
    EXPECT_EQ(none.status, 3);
    EXPECT_TRUE(none.out.starts_with("{\"page\":1,\"engines\":[{\"engine\":2,")) << none.out;
    EXPECT_TRUE(none.out.ends_with("\"rows\":[]}\n")) << none.out;
}

// A download listed by several engines is printed once, by the first engine,
// whether its magnet is hex or base32 and its ED2K hash in either case.
TEST_F(CliSearchTest, DedupFoldsRowsOfTheSameDownload) {
    auto row = [](const std::string& name, const std::string& address) {
        return "<td><a href=\"h\" title=\"t\" target=\"_blank\">" + name +
               "</a></td><td class=\"files-size\">1 MB</td><td class=\"convert-date\">2020</td>"
               "<td class=\"action\"><a href=\"" + address +
               "\" class=\"btn\" title=\"x\" target=\"_blank\">Detail</a></td>";
    };
    const std::string page =
        row("base32", "magnet:?xt=urn:btih:yk3nmvqlj3iknntvm7mb2f4ndzjxlzkp") +
        row("ed2k", "ed2k://|file|x|973078528|58ecbcc970cc1e6104a0b6c0f2e90809|/") +
        row("own", "magnet:?xt=urn:btih:0000000000000000000000000000000000000000");
    testing_support::RawResponder site(testing_support::RawResponder::Reply(
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page));
    const Outcome outcome =
        Run({"search", "--engine", "all", "--dedup", "--json", "--engine-root", Root(1),
             "--engine-root", "2=" + site.Url(""), "--engine-root", Root(3), "bunny (2008)"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string& out = outcome.out;
    const std::size_t rows = out.find("\"rows\":[{");
    ASSERT_NE(rows, std::string::npos) << out;
    std::vector<std::string> listed;
    for (std::size_t at = out.find("{\"engine\":", rows); at != std::string::npos;
         at = out.find("{\"engine\":", at + 1)) {
        const std::size_t also = out.find("\"also_on\":", at);
        listed.push_back(out.substr(at + 10, 1) + out.substr(also + 10, out.find(']', also) - also - 9));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"1[2]", "2[3]", "2[]"})) << out;
}

// An engine that exists only as a user's definition file: listed after the
// built-ins, searched by its file name, tried with "engines test", and its
// root taken from the command line over the file's own.
TEST_F(CliTest, UserDefinitionIsAnEngineOfItsOwn) {
    const std::string page = "<li><b>Film one</b> <i>1.5 GB</i> <a href=\"magnet:?xt=urn:btih:1\">";
    testing_support::RawResponder site(testing_support::RawResponder::Reply(
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
        std::to_string(page.size()) + "\r\n\r\n" + page));
    const std::filesystem::path folder = m_config / "seed-searcher" / "engines";
    std::filesystem::create_directories(folder);
    const std::string definition = (folder / "films.engine").string();
    std::ofstream(definition) << "[Engine]\nname=" << U8(u8"影片站") << "\nroot=http://127.0.0.1:9\n"
                              << "address={root}/find?q={keyword}&page={page}\n"
                              << "pattern=<b>(.*?)</b> <i>(.*?)</i> <a href=\"(.*?)\">\n"
                              << "columns=Name;Size;Address\nwidths=200;60;0\ngroups=1;2;3\n";
    std::ofstream(folder / "bad.engine") << "[Engine]\nname=x\nwhat=1\n";

    const Outcome listed = Run({"engines"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("4\tfilms\t" + U8(u8"影片站") + "\tuser\t" + definition + "\n"),
              std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("skipped\t" + (folder / "bad.engine").string() + ":3: unknown key \"what\""),
              std::string::npos) << listed.out;

    const std::string root = "films=" + site.Url("");
    const Outcome searched = Run({"search", "--engine", "films", "--engine-root", root, "kw x"});
    EXPECT_EQ(searched.status, 0) << searched.err;
    EXPECT_EQ(searched.out, "Film one\t1.5 GB\tmagnet:?xt=urn:btih:1\n");
    EXPECT_NE(searched.err.find("bad.engine:3: unknown key"), std::string::npos) << searched.err;

    const Outcome tested = Run({"engines", "test", definition, "kw", "--page", "2", "--engine-root", root});
    EXPECT_EQ(tested.status, 0) << tested.err;
    EXPECT_EQ(tested.out, searched.out);
    const std::vector<std::string> requests = site.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].starts_with("GET /find?q=%6B%77%20%78&page=1 ")) << requests[0];
    EXPECT_TRUE(requests[1].starts_with("GET /find?q=%6B%77&page=2 ")) << requests[1];

    // Without the option the file's own root is used: a refused port.
    EXPECT_EQ(Run({"engines", "test", definition, "kw"}).status, 3);
    EXPECT_EQ(Run({"engines", "check", (folder / "bad.engine").string()}).status, 1);
}

TEST_F(CliTest, FifoAsSettingsFileDoesNotBlockTheSearch) {
    const std::string fifo = (m_config / "seed-searcher" / "sites.conf").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort());
    const Outcome outcome = Run({"search", "--engine-root", "2=" + refused, "--engine", "2", "kw"});
    EXPECT_EQ(outcome.status, 3) << outcome.err;
    EXPECT_NE(outcome.err.find("sites.conf: not a regular file"), std::string::npos)
        << outcome.err;
}

// Control bytes from a site never reach the terminal as they are.
TEST_F(CliTest, ControlBytesInCellsAreEscaped) {
    const std::string row =
        "<td><a href=\"h\" title=\"t\" target=\"_blank\">a%1B]0;owned%07b\x1b[2J\x7f</a></td>"
        "<td class=\"files-size\">1 MB</td><td class=\"convert-date\">2020</td>"
        "<td class=\"action\"><a href=\"http://d\" class=\"btn\" title=\"x\" "
        "target=\"_blank\">Detail</a></td>";
    testing_support::RawResponder site(testing_support::RawResponder::Reply(
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(row.size()) + "\r\n\r\n" + row));
    const Outcome outcome =
        Run({"search", "--engine", "2", "--engine-root", "2=" + site.Url(""), "kw"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(SplitCells(SplitLines(outcome.out).at(0)).at(0), "a\\x1B]0;owned\\x07b\\x1B[2J\\x7F");
    EXPECT_EQ(outcome.out.find('\x1b'), std::string::npos);
}

TEST_F(CliTest, DemoServerRunsUntilTerminated) {
    int out_fd = -1;
    int err_fd = -1;
    const pid_t pid = Spawn({"demo-server"}, out_fd, err_fd);
    ASSERT_GT(pid, 0);
    std::string out;
    const std::time_t deadline = std::time(nullptr) + 30;
    while (out.find("site = ") == std::string::npos && std::time(nullptr) < deadline) {
        pollfd p{out_fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) continue;
        char buffer[1024];
        const ssize_t n = read(out_fd, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t at = out.find("engine1 = http://127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << out;
    const int port = std::stoi(out.substr(at + 27));
    httplib::Client client("127.0.0.1", port);
    auto page = client.Get("/okapi.php");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out_fd);
    close(err_fd);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CliOutputTest, CellsEscapeTheirSeparators) {
    EXPECT_EQ(search::TabSeparatedRow({"a\tb", "c\\d", "e\nf\r"}), "a\\tb\tc\\\\d\te\\nf\\r");
    EXPECT_EQ(search::TabSeparatedRow({"", ""}), "\t");
}

TEST(CliOutputTest, CellsEscapeEveryOtherControlCharacter) {
    EXPECT_EQ(search::TabSeparatedRow({std::string("\x1b]0;t\x07\x00\x01\x1f\x7f", 10)}),
              "\\x1B]0;t\\x07\\x00\\x01\\x1F\\x7F");
    // C1 controls (here CSI, U+009B) act on terminals as well; other
    // characters of that block and above stay as they are.
    EXPECT_EQ(search::TabSeparatedRow({U8(u8"\u009B2J\u00A0\u00E9中")}),
              "\\xC2\\x9B2J" + U8(u8"\u00A0\u00E9中"));
    EXPECT_EQ(search::JsonString(U8(u8"\u009B\u007F")), "\"\\u009b\\u007f\"");
}

TEST(CliOutputTest, JsonStringsAreValidUtf8Literals) {
    EXPECT_EQ(search::JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(search::JsonString(U8(u8"中")), U8(u8"\"中\""));
    EXPECT_EQ(search::JsonString(std::string("x\xff" "y\0z", 5)), U8(u8"\"x\uFFFDy\\u0000z\""));
}

}  // namespace

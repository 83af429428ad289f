// Extraction of a result page with engine 1's pattern: every match and all
// seven groups, as a search does. Compares PCRE2 with JIT, the PCRE2
// interpreter and std::regex, and prints the speed ratios at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <regex>
#include <string>

#include "search/search_engine.h"
#include "services/encoding.h"
#include "services/regex_engine.h"

namespace {

constexpr int kRows = 2000;
constexpr int kGroups = 7;

// One result row in the layout engine 1's pattern expects, padded with the
// kind of surrounding markup and text a real page carries (~1 KB a row).
std::string Row(int index) {
    std::string n = std::to_string(index);
    return "<div class=\"item\">\n<h3><a href=\"/detail/" + n + "\" target=\"_blank\">Ubuntu 桌面版 " + n +
           " 光盘镜像</a></h3>\n<div class=\"desc\">这是第" + n +
           "个搜索结果的简介文字，包含一些中文说明以及 English words to pad the row like a real page, "
           "with links, tags and other markup that the pattern has to skip over lazily.</div>"
           "\n<p class=\"m-meta\">\n<span>添加时间: 2024-01-" + std::to_string(index % 28 + 10) +
           "&nbsp;&nbsp;</span><span>文件数: " + std::to_string(index % 50 + 1) +
           "&nbsp;&nbsp;\n</span><span>文件大小: " + std::to_string(index % 900 + 100) +
           ".5 MB&nbsp;&nbsp;\n</span><span>热度: " + std::to_string(index * 7 % 1000) +
           "&nbsp;&nbsp;</span><span>速度: <span style=\"color: green; font-weight:bold;\">极快</span> "
           "&nbsp;&nbsp;\n<a href=\"magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef" +
           std::to_string(10000000 + index) + "&dn=ubuntu-" + n + ".iso\" alt=\"[磁力] Ubuntu 桌面版 " + n +
           " 光盘镜像\">磁力链接</a></p>\n<div class=\"tags\"><span>标签</span><span>系统</span>"
           "<span>镜像</span><span>下载</span></div>\n<div class=\"footer\">更多内容请点击详情页查看，"
           "本站不保存任何文件，只提供索引信息。Lorem ipsum dolor sit amet, consectetur adipiscing "
           "elit, sed do eiusmod tempor incididunt ut labore et dolore magna aliqua.</div>\n</div>\n";
}

const std::string& Page() {
    static const std::string page = [] {
        std::string text = "<html><head><title>搜索结果</title></head><body>\n";
        for (int i = 0; i < kRows; ++i) text += Row(i);
        return text + "</body></html>\n";
    }();
    return page;
}

void ExtractWithEngine(benchmark::State& state, bool use_jit) {
    const std::string& page = Page();
    std::string pattern(search::EnginePattern(1));
    services::RegexLimits limits;
    limits.use_jit = use_jit;
    for (auto _ : state) {
        services::RegexEngine regex(limits);
        regex.Compile(pattern, page);
        int count = regex.MatchCount();
        if (count != kRows) {
            state.SkipWithError("the pattern did not match every row");
            break;
        }
        for (int i = 1; i <= count; ++i)
            for (int group = 1; group <= kGroups; ++group) benchmark::DoNotOptimize(regex.SubmatchText(i, group));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
    state.counters["page_KiB"] = static_cast<double>(page.size()) / 1024.0;
}

void BM_Pcre2Jit(benchmark::State& state) { ExtractWithEngine(state, true); }
void BM_Pcre2Interpreter(benchmark::State& state) { ExtractWithEngine(state, false); }

// std::regex works on the UTF-8 text (converted once, outside the timing)
// and hands back UTF-8 group texts.
void BM_StdRegex(benchmark::State& state) {
    const std::string& page = Page();
    std::string utf8_page = services::GbkToUtf8(page);
    std::regex regex(services::GbkToUtf8(search::EnginePattern(1)),
                     std::regex::ECMAScript | std::regex::icase | std::regex::multiline);
    for (auto _ : state) {
        int count = 0;
        for (std::sregex_iterator it(utf8_page.begin(), utf8_page.end(), regex), end; it != end; ++it) {
            for (int group = 1; group <= kGroups; ++group) benchmark::DoNotOptimize((*it)[group].str());
            ++count;
        }
        if (count != kRows) {
            state.SkipWithError("the pattern did not match every row");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

BENCHMARK(BM_Pcre2Jit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcre2Interpreter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdRegex)->Unit(benchmark::kMillisecond)->Iterations(2);

// Prints how many times slower each run was than the first one.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.iterations > 0)
                m_times.emplace_back(run.benchmark_name(), run.GetAdjustedRealTime());
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (m_times.empty()) return;
        std::printf("\nTime relative to %s:\n", m_times.front().first.c_str());
        for (const auto& [name, time] : m_times)
            std::printf("  %-28s %8.1fx\n", name.c_str(), time / m_times.front().second);
    }

private:
    std::vector<std::pair<std::string, double>> m_times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

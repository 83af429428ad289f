// Throughput of the text conversions on a 2 MB page, next to a plain copy of
// the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "services/encoding.h"

namespace {

// A GBK page mixing markup, Chinese text and percent-encoded UTF-8 links,
// the mix a search result page has after download.
const std::string& GbkPage() {
    static const std::string page = [] {
        std::string text;
        for (int i = 0; text.size() < 2 * 1024 * 1024; ++i)
            text += "<tr><td class=\"name\">光盘镜像 Ubuntu " + std::to_string(i) +
                    " 桌面版 种子搜索结果</td><td>1.5 GB</td><td><a href=\"magnet:?xt=urn:btih:" +
                    std::to_string(1000000 + i) +
                    "&dn=%E5%85%89%E7%9B%98%E9%95%9C%E5%83%8F%20Ubuntu\">磁力链接</a></td></tr>\n";
        return text;
    }();
    return page;
}

const std::string& Utf8Page() {
    static const std::string page = services::GbkToUtf8(GbkPage());
    return page;
}

void Report(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void BM_Memcpy(benchmark::State& state) {
    const std::string& page = GbkPage();
    std::string copy(page.size(), '\0');
    for (auto _ : state) {
        std::memcpy(copy.data(), page.data(), page.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    Report(state, page.size());
}

void BM_GbkToUtf8(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(services::GbkToUtf8(GbkPage()));
    Report(state, GbkPage().size());
}

void BM_Utf8ToGbk(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(services::Utf8ToGbk(Utf8Page()));
    Report(state, Utf8Page().size());
}

void BM_Utf8BytesToGbk(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(services::Utf8BytesToGbk(Utf8Page()));
    Report(state, Utf8Page().size());
}

void BM_PercentDecode(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(services::PercentDecode(Utf8Page(), false));
    Report(state, Utf8Page().size());
}

void BM_PercentDecodeToGbk(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(services::PercentDecode(Utf8Page(), true));
    Report(state, Utf8Page().size());
}

void BM_PercentEncode(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(services::PercentEncode(GbkPage(), false, true));
    Report(state, GbkPage().size());
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_GbkToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8ToGbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8BytesToGbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PercentDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PercentDecodeToGbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PercentEncode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "search/search_engine.h"
#include "services/http.h"

namespace search {

// The written form of result rows, shared by the command line and by saving
// a page from the window, so that both write the same bytes.
//
// TSV: a row is its cells joined by TAB, with "\" TAB LF CR inside a cell
// written "\\" "\t" "\n" "\r", and every other C0 control byte, DEL and the
// two bytes of a C1 control written "\xHH" each: no cell reaches a terminal
// as a control sequence.
// JSON: string literals escape the same characters as \u00XX; invalid UTF-8
// becomes U+FFFD.
enum class OutputFormat { Tsv, Json };

// Cell escaping on UTF-8 text.
std::string TabSeparatedRow(const std::vector<std::string>& utf8_cells);
void AppendTsvEscaped(std::string& out, std::string_view utf8);
std::string JsonString(std::string_view utf8);  // quotes included
void AppendJsonEscaped(std::string& out, std::string_view valid_utf8);

// Calls `emit` with the UTF-8 form of consecutive slices of a GBK text, each
// slice cut at a character boundary, so that one huge cell never needs a
// whole converted and escaped copy.
void ForEachUtf8Slice(std::string_view gbk, const std::function<void(const std::string&)>& emit);

// Receives the written bytes in order; the writer never holds more than a
// slice of one row.
using OutputSink = std::function<void(std::string_view)>;

// Writes one engine's result page: in TSV one line per row; in JSON
// {"engine":N,"page":P,"columns":[...],"rows":[[...],...],"error":E} where E
// is null or {"kind":K,"detail":D}. Begin, then Row for each row in order,
// then End.
class ResultWriter {
public:
    ResultWriter(OutputFormat format, OutputSink sink);

    void Begin(int engine, int page, const ColumnMap& columns);
    void Row(const std::vector<std::string>& gbk_cells);
    // `failure` None writes "error":null.
    void End(services::HttpFailure failure = services::HttpFailure::None,
             std::string_view detail = {});

private:
    OutputFormat m_format;
    OutputSink m_sink;
    std::size_t m_rows = 0;
};

// Rows of several engines in one listing. In TSV each line starts with the
// engine's number as an extra first cell. JSON is
// {"page":P,"engines":[{"engine":N,"columns":[...],"rows":R,"seconds":S,
// "error":E},...],"rows":[{"engine":N,"cells":[...]},...]}, and each row
// gains "also_on":[N,...] (the other engines that listed the same download)
// when duplicates are folded.
class MergedResultWriter {
public:
    struct EngineSummary {
        int engine = 0;
        const ColumnMap* columns = nullptr;
        std::size_t rows = 0;
        double seconds = 0;
        services::HttpFailure failure = services::HttpFailure::None;
        std::string_view detail{};
    };

    MergedResultWriter(OutputFormat format, OutputSink sink);

    void Begin(int page, const std::vector<EngineSummary>& engines);
    // `also_on` null leaves the key out.
    void Row(int engine, const std::vector<std::string>& gbk_cells,
             const std::vector<int>* also_on = nullptr);
    void End();

private:
    OutputFormat m_format;
    OutputSink m_sink;
    std::size_t m_rows = 0;
};

}  // namespace search

#include "search/result_output.h"

#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "services/encoding.h"
#include "util/gbk_text.h"

namespace search {
namespace {

constexpr std::size_t kCellSlice = 64 * 1024;

std::string ErrorValue(services::HttpFailure failure, std::string_view detail) {
    if (failure == services::HttpFailure::None) return "null";
    return "{\"kind\":" + JsonString(services::HttpFailureName(failure)) +
           ",\"detail\":" + JsonString(detail) + "}";
}

// Appends the cells, separated and escaped for the format, to `text`; hands
// `text` to the sink whenever it grows past a slice.
void AppendCells(std::string& text, const std::vector<std::string>& gbk_cells, bool json,
                 const OutputSink& sink) {
    for (std::size_t c = 0; c < gbk_cells.size(); ++c) {
        if (c > 0) text += json ? ',' : '\t';
        if (json) text += '"';
        ForEachUtf8Slice(gbk_cells[c], [&](const std::string& utf8) {
            if (json) {
                AppendJsonEscaped(text, utf8);
            } else {
                AppendTsvEscaped(text, utf8);
            }
            if (text.size() >= kCellSlice) {
                sink(text);
                text.clear();
            }
        });
        if (json) text += '"';
    }
}

}  // namespace

void AppendTsvEscaped(std::string& out, std::string_view utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto hex = [&out](unsigned char byte) {
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    };
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char ch = utf8[i];
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    hex(byte);
                } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                           static_cast<unsigned char>(utf8[i + 1]) < 0xA0 &&
                           static_cast<unsigned char>(utf8[i + 1]) >= 0x80) {
                    // A C1 control (U+0080..U+009F): terminals act on these too.
                    hex(byte);
                    hex(static_cast<unsigned char>(utf8[++i]));
                } else {
                    out += ch;
                }
                break;
        }
    }
}

std::string TabSeparatedRow(const std::vector<std::string>& utf8_cells) {
    std::string line;
    for (std::size_t c = 0; c < utf8_cells.size(); ++c) {
        if (c > 0) line += '\t';
        AppendTsvEscaped(line, utf8_cells[c]);
    }
    return line;
}

void AppendJsonEscaped(std::string& out, std::string_view valid_utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < valid_utf8.size(); ++i) {
        const char ch = valid_utf8[i];
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                } else if (byte == 0xC2 && i + 1 < valid_utf8.size() &&
                           static_cast<unsigned char>(valid_utf8[i + 1]) < 0xA0) {
                    // C1 controls are escaped too, so that JSON printed on a
                    // terminal cannot drive it.
                    const auto low = static_cast<unsigned char>(valid_utf8[++i]);
                    out += "\\u00";
                    out += kHex[low >> 4];
                    out += kHex[low & 0x0F];
                } else {
                    out += ch;
                }
                break;
        }
    }
}

std::string JsonString(std::string_view utf8) {
    // g_utf8_make_valid would turn an embedded NUL into U+FFFD; keep it, so
    // that it comes out as \u0000.
    std::string text;
    std::size_t from = 0;
    while (from <= utf8.size()) {
        const std::size_t nul = utf8.find('\0', from);
        const std::string_view piece = utf8.substr(from, nul == std::string_view::npos ? nul : nul - from);
        std::unique_ptr<gchar, decltype(&g_free)> part(
            g_utf8_make_valid(piece.data(), static_cast<gssize>(piece.size())), &g_free);
        text += part.get();
        if (nul == std::string_view::npos) break;
        text += '\0';
        from = nul + 1;
    }
    std::string json = "\"";
    AppendJsonEscaped(json, text);
    json += '"';
    return json;
}

void ForEachUtf8Slice(std::string_view gbk, const std::function<void(const std::string&)>& emit) {
    std::size_t from = 0;
    while (from < gbk.size()) {
        std::size_t to = std::min(gbk.size(), from + kCellSlice);
        // Step back to the start of the unit that `to` falls into.
        std::size_t at = from;
        while (at < to) {
            const std::size_t next = at + util::GbkCharLength(gbk, at);
            if (next > to && at > from) break;
            at = next;
        }
        to = at;
        emit(services::GbkToUtf8(gbk.substr(from, to - from)));
        from = to;
    }
}

ResultWriter::ResultWriter(OutputFormat format, OutputSink sink)
    : m_format(format), m_sink(std::move(sink)) {}

void ResultWriter::Begin(int engine, int page, const ColumnMap& columns) {
    if (m_format != OutputFormat::Json) return;
    std::string head = "{\"engine\":" + std::to_string(engine) +
                       ",\"page\":" + std::to_string(page) + ",\"columns\":[";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c > 0) head += ',';
        head += JsonString(services::GbkToUtf8(columns[c].caption));
    }
    head += "],\"rows\":[";
    m_sink(head);
}

void ResultWriter::Row(const std::vector<std::string>& gbk_cells) {
    const bool json = m_format == OutputFormat::Json;
    std::string text;
    if (json) text += m_rows == 0 ? "[" : ",[";
    AppendCells(text, gbk_cells, json, m_sink);
    text += json ? "]" : "\n";
    m_sink(text);
    ++m_rows;
}

void ResultWriter::End(services::HttpFailure failure, std::string_view detail) {
    if (m_format != OutputFormat::Json) return;
    m_sink("],\"error\":" + ErrorValue(failure, detail) + "}\n");
}

MergedResultWriter::MergedResultWriter(OutputFormat format, OutputSink sink)
    : m_format(format), m_sink(std::move(sink)) {}

void MergedResultWriter::Begin(int page, const std::vector<EngineSummary>& engines) {
    if (m_format != OutputFormat::Json) return;
    std::string head = "{\"page\":" + std::to_string(page) + ",\"engines\":[";
    for (std::size_t e = 0; e < engines.size(); ++e) {
        const EngineSummary& engine = engines[e];
        if (e > 0) head += ',';
        head += "{\"engine\":" + std::to_string(engine.engine) + ",\"columns\":[";
        if (engine.columns != nullptr) {
            for (std::size_t c = 0; c < engine.columns->size(); ++c) {
                if (c > 0) head += ',';
                head += JsonString(services::GbkToUtf8((*engine.columns)[c].caption));
            }
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", engine.seconds);
        head += "],\"rows\":" + std::to_string(engine.rows) + ",\"seconds\":" + seconds +
                ",\"error\":" + ErrorValue(engine.failure, engine.detail) + "}";
    }
    head += "],\"rows\":[";
    m_sink(head);
}

void MergedResultWriter::Row(int engine, const std::vector<std::string>& gbk_cells,
                             const std::vector<int>* also_on) {
    const bool json = m_format == OutputFormat::Json;
    std::string text;
    if (json) {
        text += m_rows == 0 ? "{" : ",{";
        text += "\"engine\":" + std::to_string(engine) + ",\"cells\":[";
    } else {
        text += std::to_string(engine);
        if (!gbk_cells.empty()) text += '\t';
    }
    AppendCells(text, gbk_cells, json, m_sink);
    if (json) {
        text += ']';
        if (also_on != nullptr) {
            text += ",\"also_on\":[";
            for (std::size_t i = 0; i < also_on->size(); ++i) {
                if (i > 0) text += ',';
                text += std::to_string((*also_on)[i]);
            }
            text += ']';
        }
        text += '}';
    } else {
        text += '\n';
    }
    m_sink(text);
    ++m_rows;
}

void MergedResultWriter::End() {
    if (m_format == OutputFormat::Json) m_sink("]}\n");
}

}  // namespace search

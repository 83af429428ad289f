#include "dui/controls/text_buffer.h"

#include <algorithm>
#include <utility>

namespace dui {

size_t GbkCharLength(std::string_view text, size_t offset) {
    if (offset >= text.size()) return 0;
    const auto lead = static_cast<unsigned char>(text[offset]);
    if (lead >= 0x81 && lead <= 0xFE && offset + 1 < text.size()) {
        const auto trail = static_cast<unsigned char>(text[offset + 1]);
        if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) return 2;
    }
    return 1;
}

size_t GbkPreviousChar(std::string_view text, size_t from, size_t offset) {
    offset = std::min(offset, text.size());
    size_t at = std::min(from, offset);
    size_t previous = at;
    while (at < offset) {
        previous = at;
        at += GbkCharLength(text, at);
    }
    return previous;
}

size_t GbkCharCount(std::string_view text) {
    size_t count = 0;
    for (size_t at = 0; at < text.size(); at += GbkCharLength(text, at)) ++count;
    return count;
}

size_t GbkOffsetOfColumn(std::string_view text, size_t column) {
    size_t at = 0;
    for (size_t i = 0; i < column && at < text.size(); ++i) at += GbkCharLength(text, at);
    return at;
}

size_t GbkCharStartAtOrBefore(std::string_view text, size_t offset) {
    offset = std::min(offset, text.size());
    size_t at = 0;
    while (at < offset) {
        const size_t next = at + GbkCharLength(text, at);
        if (next > offset) break;
        at = next;
    }
    return at;
}

std::string_view FirstLine(std::string_view text) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return text;
    return text.substr(0, end > 0 && text[end - 1] == '\r' ? end - 1 : end);
}

std::string NormaliseBreaks(std::string_view text) {
    // A line break is always "\r\n", and no other break may reach the
    // text layout.
    std::string clean;
    clean.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                clean.append("\r\n");
                ++i;
            }
            continue;
        }
        if (c == '\n') continue;
        clean.push_back(c);
    }
    return clean;
}

void ExTextBuffer::SetText(std::string text, bool multi_line) {
    if (!multi_line) {
        const size_t end = text.find("\r\n");
        if (end != std::string::npos) text.resize(end);
    }
    m_text = NormaliseBreaks(text);
    BuildLines();
}

void ExTextBuffer::BuildLines() {
    m_line_starts.clear();
    m_line_starts.push_back(0);
    for (size_t at = m_text.find("\r\n"); at != std::string::npos; at = m_text.find("\r\n", at + 2)) {
        m_line_starts.push_back(at + 2);
    }
}

size_t ExTextBuffer::LineStart(int line) const {
    if (!CheckLine(line)) return line < 1 ? 0 : m_text.size();
    return m_line_starts[static_cast<size_t>(line - 1)];
}

size_t ExTextBuffer::LineEnd(int line) const {
    if (!CheckLine(line)) return line < 1 ? 0 : m_text.size();
    if (line == LineCount()) return m_text.size();
    return m_line_starts[static_cast<size_t>(line)] - 2;
}

std::string_view ExTextBuffer::LineText(int line) const {
    const size_t start = LineStart(line);
    return std::string_view(m_text).substr(start, LineEnd(line) - start);
}

int ExTextBuffer::LineOf(size_t offset) const {
    const auto after = std::upper_bound(m_line_starts.begin(), m_line_starts.end(), offset);
    return static_cast<int>(after - m_line_starts.begin());
}

std::string ExTextBuffer::Range(size_t a, size_t b) const {
    a = std::min(a, m_text.size());
    b = std::min(b, m_text.size());
    if (a > b) std::swap(a, b);
    return m_text.substr(a, b - a);
}

void ExTextBuffer::DeleteRange(size_t a, size_t b, bool multi_line) {
    a = std::min(a, m_text.size());
    b = std::min(b, m_text.size());
    if (a > b) std::swap(a, b);
    std::string text = m_text;
    text.erase(a, b - a);
    SetText(std::move(text), multi_line);
}

void ExTextBuffer::InsertAt(size_t offset, std::string_view text, bool multi_line) {
    offset = std::min(offset, m_text.size());
    std::string joined;
    joined.reserve(m_text.size() + text.size());
    joined.append(m_text, 0, offset);
    joined.append(text);
    joined.append(m_text, offset, std::string::npos);
    SetText(std::move(joined), multi_line);
}

}  // namespace dui

#include "dui/controls/text_buffer.h"

#include <algorithm>
#include <utility>

namespace dui {

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

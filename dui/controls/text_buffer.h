#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "util/gbk_text.h"

namespace dui {

// Characters of GBK text (what the edit box calls columns), by the
// program's one boundary rule.
using util::GbkCharCount;
using util::GbkCharLength;
using util::GbkCharStartAtOrBefore;
using util::GbkOffsetOfColumn;
using util::GbkPreviousChar;

// The text of an edit box: GBK bytes whose lines are separated by "\r\n",
// with a table of line starts. Offsets are byte offsets; lines are 1-based.
class ExTextBuffer {
public:
    ExTextBuffer() { m_line_starts.push_back(0); }

    // Stores the text normalised: a single-line buffer keeps only what comes
    // before the first "\r\n"; then every "\n" not preceded by "\r" and every
    // "\r" not followed by "\n" is removed. Rebuilds the line table.
    void SetText(std::string text, bool multi_line);
    const std::string& Text() const { return m_text; }
    size_t Length() const { return m_text.size(); }
    bool Empty() const { return m_text.empty(); }

    int LineCount() const { return static_cast<int>(m_line_starts.size()); }
    bool CheckLine(int line) const { return line >= 1 && line <= LineCount(); }
    // Offset of the line's first byte; of its "\r\n" (or the text's end).
    size_t LineStart(int line) const;
    size_t LineEnd(int line) const;
    std::string_view LineText(int line) const;
    // The line holding the offset (a line's end belongs to that line).
    int LineOf(size_t offset) const;

    // The bytes between two offsets, in either order (clamped).
    std::string Range(size_t a, size_t b) const;
    void DeleteRange(size_t a, size_t b, bool multi_line);
    void InsertAt(size_t offset, std::string_view text, bool multi_line);

private:
    void BuildLines();

    std::string m_text;
    std::vector<size_t> m_line_starts;
};

// The line-break rule of SetText applied to a piece of text: lone "\n" and
// "\r" are dropped, "\r\n" stays.
std::string NormaliseBreaks(std::string_view text);

// What a single-line box keeps of inserted text: everything before its first
// line break ("\r\n" or a bare "\n").
std::string_view FirstLine(std::string_view text);

}  // namespace dui

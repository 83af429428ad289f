// The edit box's text buffer driven by a sequence of edits decoded from the
// input, with a caret and an anchor moved the way the edit box moves them.
// After every step: the line table matches the bytes, every line break is a
// "\r\n" pair (none at all in a single-line buffer), the caret and anchor
// lie inside the text on character starts, and stepping through the
// characters never reads past the end.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "dui/controls/text_buffer.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using fuzz::Input;

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsCharStart(std::string_view text, std::size_t offset) {
    std::size_t at = 0;
    while (at < offset) {
        const std::size_t length = dui::GbkCharLength(text, at);
        Check(length >= 1 && length <= 2 && at + length <= text.size());
        at += length;
    }
    return at == offset;
}

void CheckBuffer(const dui::ExTextBuffer& buffer, bool multi_line) {
    const std::string& text = buffer.Text();
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') Check(i > 0 && text[i - 1] == '\r');
        if (text[i] == '\r') {
            Check(i + 1 < text.size() && text[i + 1] == '\n');
            starts.push_back(i + 2);
        }
    }
    if (!multi_line) Check(starts.size() == 1);
    Check(buffer.LineCount() == static_cast<int>(starts.size()));
    for (int line = 1; line <= buffer.LineCount(); ++line) {
        const std::size_t start = starts[static_cast<std::size_t>(line - 1)];
        const std::size_t end = line == buffer.LineCount() ? text.size() : starts[static_cast<std::size_t>(line)] - 2;
        Check(buffer.LineStart(line) == start && buffer.LineEnd(line) == end);
        Check(buffer.LineText(line) == std::string_view(text).substr(start, end - start));
        Check(buffer.LineOf(start) == line && buffer.LineOf(end) == line);
    }
    Check(!buffer.CheckLine(0) && !buffer.CheckLine(buffer.LineCount() + 1));
    Check(dui::GbkCharCount(text) <= text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    const bool multi_line = input.Byte() & 1;
    dui::ExTextBuffer buffer;
    std::size_t caret = 0;
    std::size_t anchor = 0;
    for (int step = 0; step < 256 && !input.Done(); ++step) {
        const std::string_view text = buffer.Text();
        switch (input.Byte() % 8) {
            case 0:
                buffer.SetText(std::string(input.Bytes(input.Byte())), multi_line);
                caret = anchor = buffer.Length();
                break;
            case 1: {  // typing or pasting over the selection
                const std::string_view typed = input.Bytes(input.Byte() % 16);
                const std::string piece = multi_line ? dui::NormaliseBreaks(typed) : std::string(dui::FirstLine(typed));
                const std::size_t from = std::min(caret, anchor);
                buffer.DeleteRange(caret, anchor, multi_line);
                buffer.InsertAt(from, piece, multi_line);
                caret = anchor = dui::GbkCharStartAtOrBefore(buffer.Text(), from + piece.size());
                break;
            }
            case 2: {  // delete the selection, or the character after the caret
                std::size_t to = caret == anchor && caret < text.size() ? caret + dui::GbkCharLength(text, caret) : anchor;
                if (caret == anchor && caret + 2 <= text.size() && text.substr(caret, 2) == "\r\n") to = caret + 2;
                buffer.DeleteRange(caret, to, multi_line);
                caret = anchor = dui::GbkCharStartAtOrBefore(buffer.Text(), std::min(caret, to));
                break;
            }
            case 3:  // arbitrary edits at arbitrary offsets, even inside a character
                buffer.DeleteRange(input.Number(), input.Number(), multi_line);
                caret = dui::GbkCharStartAtOrBefore(buffer.Text(), caret);
                anchor = dui::GbkCharStartAtOrBefore(buffer.Text(), anchor);
                break;
            case 4:
                buffer.InsertAt(input.Number(), input.Bytes(input.Byte() % 16), multi_line);
                caret = dui::GbkCharStartAtOrBefore(buffer.Text(), caret);
                anchor = dui::GbkCharStartAtOrBefore(buffer.Text(), anchor);
                break;
            case 5: {  // caret left or right, extending the selection or not
                const std::uint8_t how = input.Byte();
                if (how & 1) {
                    if (caret < text.size()) caret += dui::GbkCharLength(text, caret);
                } else if (caret > 0) {
                    caret = dui::GbkPreviousChar(text, 0, caret);
                }
                if (how & 2) anchor = caret;
                break;
            }
            case 6: {  // a click: the column on a line
                const int line = 1 + static_cast<int>(input.Byte()) % buffer.LineCount();
                const std::string_view line_text = buffer.LineText(line);
                caret = buffer.LineStart(line) + dui::GbkOffsetOfColumn(line_text, input.Byte());
                if (input.Byte() & 1) anchor = caret;
                break;
            }
            case 7: {
                const std::string range = buffer.Range(input.Number(), input.Number());
                Check(range.size() <= buffer.Length());
                break;
            }
        }
        CheckBuffer(buffer, multi_line);
        Check(caret <= buffer.Length() && anchor <= buffer.Length());
        Check(IsCharStart(buffer.Text(), caret) && IsCharStart(buffer.Text(), anchor));
    }
    return 0;
}

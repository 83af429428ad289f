#pragma once
// Clipboard text through the X CLIPBOARD selection.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plat::gtk {

class ClipboardAccess {
public:
    // Texts larger than this are cut (at a character boundary) when read:
    // the program only pastes into edit boxes.
    static constexpr size_t kMaxTextBytes = 8 * 1024 * 1024;

    ClipboardAccess();
    ~ClipboardAccess();   // hands our text to a clipboard manager, if any
    ClipboardAccess(const ClipboardAccess&) = delete;
    ClipboardAccess& operator=(const ClipboardAccess&) = delete;

    void SetText(std::string_view utf8);

    // The text on the clipboard (valid UTF-8), or nullopt when it holds
    // none or its owner does not answer within `limit_ms`. Runs the main
    // context meanwhile, so native events are handled (they only queue).
    // (<chrono> cannot be used here: its UTF-8 literals do not survive the
    // GBK execution character set.)
    std::optional<std::string> Text(uint32_t limit_ms);

private:
    bool m_owns_text = false;
};

}  // namespace plat::gtk

#include "platform/gtk/gtk_clipboard.h"

#include <cstdint>
#include <map>

#include <gtk/gtk.h>

#include "platform/gtk/gtk_ptr.h"

namespace plat::gtk {
namespace {

// Outstanding read requests by id. A request whose owner did not answer in
// time is forgotten by its reader; a late answer then finds no entry and is
// dropped, so no callback ever touches freed memory.
struct PendingRead {
    bool done = false;
    std::optional<std::string> text;
};

struct ClipboardReads {
    uint64_t next_id = 1;
    std::map<uint64_t, PendingRead> pending;
};

ClipboardReads& Reads() {
    static ClipboardReads reads;
    return reads;
}

GtkClipboard* SystemClipboard() {
    return gtk_clipboard_get_for_display(gdk_display_get_default(), GDK_SELECTION_CLIPBOARD);
}

std::string BoundedValidText(const char* text) {
    std::string_view raw(text);
    if (raw.size() > ClipboardAccess::kMaxTextBytes) raw = raw.substr(0, ClipboardAccess::kMaxTextBytes);
    CharPtr valid(g_utf8_make_valid(raw.data(), static_cast<gssize>(raw.size())));
    std::string result(valid.get());
    // Cutting may have split a character, which make_valid turned into
    // U+FFFD; drop that tail rather than grow past the bound.
    while (result.size() > ClipboardAccess::kMaxTextBytes) {
        const char* end = g_utf8_find_prev_char(result.c_str(), result.c_str() + result.size());
        result.resize(end != nullptr ? static_cast<size_t>(end - result.c_str()) : 0);
    }
    return result;
}

void OnTextReceived(GtkClipboard*, const char* text, gpointer data) {
    const auto id = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(data));
    auto found = Reads().pending.find(id);
    if (found == Reads().pending.end()) return;
    found->second.done = true;
    if (text != nullptr) found->second.text = BoundedValidText(text);
}

gboolean OnDeadline(gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
}

}  // namespace

ClipboardAccess::ClipboardAccess() = default;

ClipboardAccess::~ClipboardAccess() {
    if (m_owns_text && gtk_clipboard_get_owner(SystemClipboard()) == nullptr) {
        // Our text outlives the program only through a clipboard manager.
        gtk_clipboard_store(SystemClipboard());
    }
}

void ClipboardAccess::SetText(std::string_view utf8) {
    CharPtr valid(g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size())));
    GtkClipboard* clipboard = SystemClipboard();
    gtk_clipboard_set_text(clipboard, valid.get(), -1);
    gtk_clipboard_set_can_store(clipboard, nullptr, 0);
    m_owns_text = true;
}

std::optional<std::string> ClipboardAccess::Text(uint32_t limit_ms) {
    ClipboardReads& reads = Reads();
    const uint64_t id = reads.next_id++;
    reads.pending[id] = PendingRead{};
    gtk_clipboard_request_text(SystemClipboard(), OnTextReceived,
                               reinterpret_cast<gpointer>(static_cast<uintptr_t>(id)));

    bool timed_out = false;
    const guint deadline = g_timeout_add(limit_ms, OnDeadline, &timed_out);
    while (!reads.pending[id].done && !timed_out) g_main_context_iteration(nullptr, TRUE);
    if (!timed_out) g_source_remove(deadline);

    std::optional<std::string> text = std::move(reads.pending[id].text);
    reads.pending.erase(id);
    return text;
}

}  // namespace plat::gtk


// The message queue: sending, posting, retrieval in Windows' order, the quit
// request, translation of keys into characters, dispatching, and timers.

#include <algorithm>
#include <limits>

#include "platform/core_state.h"
#include "platform/platform.h"

namespace plat {
namespace {

bool MatchesFilter(const MSG& msg, HWND filter, UINT filter_min, UINT filter_max) {
    if (filter && msg.hwnd != filter && !IsChild(filter, msg.hwnd)) return false;
    if (filter_min == 0 && filter_max == 0) return true;
    return msg.message >= filter_min && msg.message <= filter_max;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    CoreState& core = Core();
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    msg.time = static_cast<DWORD>(core.system ? core.system->NowMs() : 0);
    msg.pt = core.cursor_pos;
    return msg;
}

void ApplyKeyUpdates(const ReadyInput& input) {
    CoreState& core = Core();
    for (uint32_t i = 0; i < input.key_update_count && i < input.key_updates.size(); ++i) {
        uint8_t& state = core.key_state[input.key_updates[i]];
        const bool down = (input.key_down_mask >> i) & 1;
        if (down && i == 0 && input.toggle_first) state ^= 0x01;
        state = static_cast<uint8_t>(down ? (state | 0x80) : (state & ~0x80));
    }
}

void NoteRetrieved(const MSG& msg) { Core().last_message_time = msg.time; }

// A retrieved input message brings its text along: a key's characters
// become findable for TranslateMessage, and a composition's result becomes
// the input context's result string.
void AttachText(const ReadyInput& input, MSG* msg) {
    if (input.text.empty()) return;
    if (msg->message == WM_IME_COMPOSITION) Core().ime_result = input.text;
    msg->lPrivate = StoreMessageText(input.text);
}

// When a blocked loop must wake: the next timer it could retrieve, or the
// tooltip's next step. Timers it filters out never wake it.
std::optional<uint64_t> NextDeadline(HWND filter, UINT filter_min, UINT filter_max) {
    CoreState& core = Core();
    const uint64_t now = System().NowMs();
    std::optional<uint64_t> deadline = TooltipDeadline();
    if (deadline && *deadline <= now) deadline.reset();
    for (const Timer& timer : core.timers) {
        if (timer.due <= now) continue;
        MSG candidate{};
        candidate.hwnd = timer.hwnd;
        candidate.message = WM_TIMER;
        if (!MatchesFilter(candidate, filter, filter_min, filter_max)) continue;
        if (!deadline || timer.due < *deadline) deadline = timer.due;
    }
    return deadline;
}

bool FindTimerMessage(HWND filter, UINT filter_min, UINT filter_max, bool remove, MSG* msg) {
    CoreState& core = Core();
    const uint64_t now = System().NowMs();
    Timer* best = nullptr;
    for (Timer& timer : core.timers) {
        if (timer.due > now) continue;
        MSG candidate = MakeMessage(timer.hwnd, WM_TIMER, timer.id,
                                    reinterpret_cast<LPARAM>(timer.procedure));
        if (!MatchesFilter(candidate, filter, filter_min, filter_max)) continue;
        if (!best || timer.due < best->due) best = &timer;
    }
    if (!best) return false;
    *msg = MakeMessage(best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->procedure));
    // One WM_TIMER however late the timer is; the next falls due one
    // interval after this one is taken.
    if (remove) best->due = now + best->interval;
    return true;
}

bool TakePosted(MSG* msg, HWND filter, UINT filter_min, UINT filter_max, bool remove) {
    CoreState& core = Core();
    for (auto it = core.posted.begin(); it != core.posted.end(); ++it) {
        if (!MatchesFilter(*it, filter, filter_min, filter_max)) continue;
        *msg = *it;
        if (remove) core.posted.erase(it);
        NoteRetrieved(*msg);
        return true;
    }
    return false;
}

// One retrieval attempt in Windows' order; false when nothing matches.
bool PeekInternal(MSG* msg, HWND filter, UINT filter_min, UINT filter_max, bool remove) {
    CoreState& core = Core();
    RunCrossThreadWork();
    if (TakePosted(msg, filter, filter_min, filter_max, remove)) return true;
    if (core.quit_posted) {
        *msg = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(core.quit_code), 0);
        if (remove) core.quit_posted = false;
        return true;
    }
    System().PollInput();
    TooltipTick();
    for (;;) {
        for (auto it = core.ready_input.begin(); it != core.ready_input.end(); ++it) {
            if (!MatchesFilter(it->msg, filter, filter_min, filter_max)) continue;
            *msg = it->msg;
            AttachText(*it, msg);
            if (remove) {
                ApplyKeyUpdates(*it);
                core.ready_input.erase(it);
            }
            NoteRetrieved(*msg);
            return true;
        }
        // Converting input may send messages (WM_SETCURSOR, activation)
        // that post new ones: those come first.
        const size_t posted_before = core.posted.size();
        if (!ConvertNextRawInput()) break;
        if (core.posted.size() != posted_before &&
            TakePosted(msg, filter, filter_min, filter_max, remove)) {
            return true;
        }
    }
    if (FindPaintMessage(filter, msg) && MatchesFilter(*msg, filter, filter_min, filter_max)) {
        NoteRetrieved(*msg);
        return true;
    }
    if (FindTimerMessage(filter, filter_min, filter_max, remove, msg)) {
        NoteRetrieved(*msg);
        return true;
    }
    return false;
}

}  // namespace

DWORD StoreMessageText(std::string text) {
    CoreState& core = Core();
    DWORD serial = core.next_text_serial++;
    if (serial == 0) serial = core.next_text_serial++;
    core.message_texts[serial % core.message_texts.size()] = {serial, std::move(text)};
    return serial;
}

const std::string* FindMessageText(DWORD serial) {
    if (serial == 0) return nullptr;
    CoreState& core = Core();
    const auto& entry = core.message_texts[serial % core.message_texts.size()];
    return entry.first == serial ? &entry.second : nullptr;
}

bool PostInternal(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, DWORD text_serial) {
    CoreState& core = Core();
    if (core.posted.size() >= kMaxPostedMessages) return false;
    MSG msg = MakeMessage(hwnd, message, wparam, lparam);
    msg.lPrivate = text_serial;
    core.posted.push_back(msg);
    return true;
}

void PurgeWindowMessages(HWND hwnd) {
    CoreState& core = Core();
    auto& posted = core.posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [hwnd](const MSG& msg) { return msg.hwnd == hwnd; }),
                 posted.end());
    auto& ready = core.ready_input;
    ready.erase(std::remove_if(ready.begin(), ready.end(),
                               [hwnd](const ReadyInput& input) { return input.msg.hwnd == hwnd; }),
                ready.end());
}

void KillWindowTimers(HWND hwnd) {
    auto& timers = Core().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [hwnd](const Timer& timer) { return timer.hwnd == hwnd; }),
                 timers.end());
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowRecord* record = Resolve(hwnd);
    if (!record || !record->procedure) return 0;
    return record->procedure(hwnd, message, wparam, lparam);
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!OnUiThread()) return PostFromOtherThread(hwnd, message, wparam, lparam);
    if (hwnd && !IsWindow(hwnd)) return 0;
    return PostInternal(hwnd, message, wparam, lparam) ? 1 : 0;
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove) {
    if (!msg) return 0;
    if (hwnd && !IsWindow(hwnd)) return 0;
    return PeekInternal(msg, hwnd, filter_min, filter_max, (remove & PM_REMOVE) != 0) ? 1 : 0;
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max) {
    if (!msg) return -1;
    for (;;) {
        if (hwnd && !IsWindow(hwnd)) return -1;
        const uint64_t tasks_before = Core().tasks_run;
        if (PeekInternal(msg, hwnd, filter_min, filter_max, true)) {
            return msg->message == WM_QUIT ? 0 : 1;
        }
        if (Core().tasks_run != tasks_before) {
            // A task may have changed what the loop waits for: let it look.
            *msg = MakeMessage(nullptr, WM_NULL, 0, 0);
            NoteRetrieved(*msg);
            return 1;
        }
        System().WaitForInput(NextDeadline(hwnd, filter_min, filter_max));
    }
}

BOOL WaitMessage() {
    CoreState& core = Core();
    const uint64_t tasks_before = core.tasks_run;
    MSG msg;
    if (PeekInternal(&msg, nullptr, 0, 0, false) || core.tasks_run != tasks_before) return 1;
    System().WaitForInput(NextDeadline(nullptr, 0, 0));
    return 1;
}

DWORD GetMessageTime() { return Core().last_message_time; }

void PostQuitMessage(int exit_code) {
    CoreState& core = Core();
    core.quit_posted = true;
    core.quit_code = exit_code;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
    const std::string* text = FindMessageText(msg->lPrivate);
    if (!text || text->empty()) return 0;
    const UINT char_message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    // Characters reach ANSI windows as GBK bytes, a double-byte character as
    // two messages, lead byte first.
    const std::string copy = *text;
    for (char byte : copy) {
        PostInternal(msg->hwnd, char_message, static_cast<unsigned char>(byte), msg->lParam);
    }
    return 1;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg || !msg->hwnd) {
        if (msg && msg->message == WM_TIMER && msg->lParam) {
            reinterpret_cast<TIMERPROC>(msg->lParam)(nullptr, WM_TIMER, msg->wParam,
                                                     static_cast<DWORD>(GetTickCount()));
        }
        return 0;
    }
    WindowRecord* record = Resolve(msg->hwnd);
    if (!record) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a timer that still exists calls its procedure.
        const auto& timers = Core().timers;
        const bool live = std::any_of(timers.begin(), timers.end(), [msg](const Timer& timer) {
            return timer.hwnd == msg->hwnd && timer.id == msg->wParam &&
                   reinterpret_cast<LPARAM>(timer.procedure) == msg->lParam;
        });
        if (live) {
            reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam,
                                                     GetTickCount());
        }
        return 0;
    }
    if (msg->message == WM_PAINT) {
        const uint64_t paints_before = record->begin_paint_count;
        const LRESULT result = SendMessage(msg->hwnd, WM_PAINT, msg->wParam, msg->lParam);
        FinishPaintDispatch(msg->hwnd, paints_before);
        return result;
    }
    return SendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC procedure) {
    CoreState& core = Core();
    if (hwnd && !IsWindow(hwnd)) return 0;
    elapse_ms = std::clamp(elapse_ms, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    const uint64_t due = System().NowMs() + elapse_ms;
    if (!hwnd) {
        auto existing = std::find_if(core.timers.begin(), core.timers.end(), [id](const Timer& t) {
            return t.hwnd == nullptr && t.id == id;
        });
        if (id != 0 && existing != core.timers.end()) {
            existing->interval = elapse_ms;
            existing->due = due;
            existing->procedure = procedure;
            return id;
        }
        UINT_PTR fresh = core.next_thread_timer;
        for (;;) {
            if (fresh == 0) fresh = 1;
            const bool used = std::any_of(core.timers.begin(), core.timers.end(),
                                          [fresh](const Timer& t) { return !t.hwnd && t.id == fresh; });
            if (!used) break;
            ++fresh;
        }
        core.next_thread_timer = fresh + 1;
        core.timers.push_back(Timer{nullptr, fresh, elapse_ms, due, procedure});
        return fresh;
    }
    for (Timer& timer : core.timers) {
        if (timer.hwnd == hwnd && timer.id == id) {
            timer.interval = elapse_ms;
            timer.due = due;
            timer.procedure = procedure;
            return id ? id : 1;
        }
    }
    core.timers.push_back(Timer{hwnd, id, elapse_ms, due, procedure});
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    auto& timers = Core().timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [hwnd, id](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers.end()) return 0;
    timers.erase(it);
    return 1;
}

}  // namespace plat

#pragma once

#include <cstddef>
#include <deque>
#include <optional>

#include "dui/core/geometry.h"

namespace dui {

// How a redraw request is handled: Append queues it last, Front queues it
// first, Now composes and pushes it at once without queueing.
enum class RedrawMode : int { Append = 0, Now = 1, Front = 2 };

// The rectangles a host window still has to compose, in order. A rectangle
// already covered by a queued one is not queued again, and a queue that grows
// beyond kMaxEntries collapses into the bounding rectangle of its entries, so
// a control that keeps asking for redraws cannot grow it without bound.
class ExRedrawQueue {
public:
    static constexpr std::size_t kMaxEntries = 256;

    void Add(const RectF& rect, RedrawMode mode);
    std::optional<RectF> TakeFront();
    void Clear() { m_entries.clear(); }
    std::size_t Size() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }

    // Set while the host works through the queue.
    bool Busy() const { return m_busy; }
    void Busy(bool value) { m_busy = value; }

private:
    std::deque<RectF> m_entries;
    bool m_busy = false;
};

}  // namespace dui

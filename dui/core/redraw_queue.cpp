#include "dui/core/redraw_queue.h"

#include <algorithm>

namespace dui {
namespace {

bool Covers(const RectF& outer, const RectF& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.Right() >= inner.Right() &&
           outer.Bottom() >= inner.Bottom();
}

}  // namespace

void ExRedrawQueue::Add(const RectF& rect, RedrawMode mode) {
    if (rect.IsEmpty()) return;
    for (const RectF& queued : m_entries) {
        if (Covers(queued, rect)) return;
    }
    if (m_entries.size() >= kMaxEntries) {
        RectF bounds = rect;
        for (const RectF& queued : m_entries) bounds = UnionOf(bounds, queued);
        m_entries.assign(1, bounds);
        return;
    }
    if (mode == RedrawMode::Front) {
        m_entries.push_front(rect);
    } else {
        m_entries.push_back(rect);
    }
}

std::optional<RectF> ExRedrawQueue::TakeFront() {
    if (m_entries.empty()) return std::nullopt;
    RectF front = m_entries.front();
    m_entries.pop_front();
    return front;
}

}  // namespace dui

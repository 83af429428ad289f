#pragma once

#include <cstdint>
#include <functional>

#include "dui/core/canvas.h"
#include "dui/core/control.h"

namespace dui {

class ExScrollBar;

enum class ScrollOrientation : int { Horizontal = 1, Vertical = 2 };

// The parts of a bar, in hit-test order after None.
enum class ScrollPart : int { None = 0, FirstArrow = 1, SecondArrow = 2, Thumb = 3, Track = 4 };

// Called when the user moves the position: the bar's parent (None for a
// top-level bar), the bar, and the new position. Setters never call it.
using ScrollChangeHandler = std::function<void(ControlHandle parent, ControlHandle bar, int position)>;

// Creation settings; everything not given takes the default noted.
struct ScrollBarOptions {
    int minimum = 0;
    int maximum = 100;
    int page = 10;  // stored for the owner
    int step = 1;
    bool continuous = true;  // the change handler fires during a drag, not only at its end
    ScrollOrientation orientation = ScrollOrientation::Horizontal;
    bool visible = true;
};

// A thin scroll bar, 10 pixels thick: an arrow cell at each end, a track and
// a thumb, drawn in translucent black. It holds an integer position in
// minimum..maximum.
//
// The user moves the position by dragging the thumb (the change handler
// fires during the drag, or once at the release when the bar is not
// continuous) or by holding an arrow (one step at once, then one step on
// every 60 ms tick while the pointer stays on the arrow). A drag or an arrow
// press lasts until the button is released or the window loses the
// pointer, wherever the pointer goes meanwhile. A press on the bare track
// does nothing. The bar takes presses but never the keyboard focus.
class ExScrollBar : public ExControl {
public:
    // Thickness of the bars the owners create.
    static constexpr int kThickness = 10;
    // Shortest thumb when there is anything to scroll (unless the track is
    // shorter still).
    static constexpr float kMinThumbLength = 30;

    ExScrollBar() = default;
    ~ExScrollBar() override;

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    ControlHandle CreateScrollBar(ControlParent parent, const RectF& bounds,
                                  const ScrollBarOptions& options = {});

    // Accessors: setters store, ask for a repaint when the look changed and
    // return the value now held. The position always lies in minimum..maximum (at the
    // minimum when maximum <= minimum).
    int Position() const { return m_position; }
    int Position(int value);
    int Minimum() const { return m_minimum; }
    int Minimum(int value);
    int Maximum() const { return m_maximum; }
    int Maximum(int value);
    // Stored for the owner; the bar does not use it.
    int Page() const { return m_page; }
    int Page(int value);
    // What one arrow step moves the position by.
    int Step() const { return m_step; }
    int Step(int value);
    bool Continuous() const { return m_continuous; }
    bool Continuous(bool value);
    // An integer kept for the owner.
    int OwnerValue() const { return m_owner_value; }
    int OwnerValue(int value);
    ScrollOrientation Orientation() const { return m_orientation; }

    void OnChange(ScrollChangeHandler handler) { m_on_change = std::move(handler); }

    // Geometry, in control coordinates; valid after Layout.
    void Layout(float width, float height);
    const RectF& TrackRect() const { return m_track; }
    const RectF& FirstArrowRect() const { return m_arrow1; }
    const RectF& SecondArrowRect() const { return m_arrow2; }
    RectF ThumbRect() const;
    float ThumbLength() const { return m_thumb_length; }
    // Thumb start along the bar for the current position.
    float ThumbOffset() const;
    // The position a thumb starting at `offset` along the bar stands for.
    int PositionFromOffset(float offset) const;
    // The part under a point in control coordinates.
    ScrollPart PartAt(float x, float y) const;
    ScrollPart PressedPart() const { return m_pressed; }

    // Paints the present look with a cross-fade from `start_alpha`
    // (255 = no fade).
    void PaintState(int start_alpha = 255);

protected:
    intptr_t OnPointerDown(const PointerEvent& event) override;
    intptr_t OnPointerUp(const PointerEvent& event) override;
    intptr_t OnPointerMove(const PointerEvent& event) override;
    void OnSized(float width, float height) override;

private:
    void ComputeThumbLength();
    void FireChange();
    void Paint();
    float TrackStart() const;
    float TrackLength() const;
    float Along(float x, float y) const;
    // Moves the position to `value` (clamped) on behalf of the user.
    void UserMove(int value);
    void ArrowStep();
    void EndPress();
    void OnPress(float x, float y);
    void OnDrag(float x, float y);

    int m_minimum = 0;
    int m_maximum = 100;
    int m_page = 10;
    int m_step = 1;
    bool m_continuous = true;
    ScrollOrientation m_orientation = ScrollOrientation::Horizontal;
    ScrollPart m_pressed = ScrollPart::None;
    ScrollPart m_hover = ScrollPart::None;
    int m_position = 0;
    float m_thumb_length = 0;
    float m_drag_offset = 0;
    bool m_dragged = false;       // the position moved during this drag
    bool m_pointer_on_pressed = false;
    int m_owner_value = 0;
    RectF m_track{};
    RectF m_arrow1{};
    RectF m_arrow2{};
    ScrollChangeHandler m_on_change;
};

}  // namespace dui

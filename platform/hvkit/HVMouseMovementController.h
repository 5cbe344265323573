#pragma once

#include "platform/foundation/Point.h"

#include <functional>
#include <optional>

class Event;
class View;

// Turns the pointer's movement into vertical deltas while started: each movement anywhere in the
// application hands the block how many points the pointer went down the screen since the last one
// (negative going up).
class HVMouseMovementController {
public:
    using Block = std::function<void(double delta)>;

    // Where the pointer goes when the controller starts.
    static constexpr unsigned kCursorLocationUnchanged = 0;
    static constexpr unsigned kCursorLocationReferenceViewCenter = 1;

    explicit HVMouseMovementController(Block block);
    ~HVMouseMovementController();
    HVMouseMovementController(const HVMouseMovementController&) = delete;
    HVMouseMovementController& operator=(const HVMouseMovementController&) = delete;

    View* referenceView() const { return m_referenceView; }
    void setReferenceView(View* view) { m_referenceView = view; }
    unsigned cursorLocation() const { return m_cursorLocation; }
    void setCursorLocation(unsigned location) { m_cursorLocation = location; }

    void start();
    void stop();
    bool isStarted() const { return m_monitorToken != 0; }

    // One pointer movement; the application's arrive here while started.
    void mouseMoved(const Event& event);

private:
    Block m_block;
    View* m_referenceView = nullptr;
    unsigned m_cursorLocation = kCursorLocationUnchanged;
    int m_monitorToken = 0;
    std::optional<Point> m_lastLocation;
};

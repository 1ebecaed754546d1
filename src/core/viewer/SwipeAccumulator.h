#pragma once

#include <QtGlobal>

// Turns horizontal scrolling on a touchpad (or a tilting mouse wheel) into page turns: one turn per
// gesture, once the gesture has gone 42 units sideways. A gesture runs from its begin phase to its
// end; where the platform reports no phases (X11), a pause of 250 ms between events ends it.
class SwipeAccumulator {
public:
    static constexpr double threshold = 42;
    static constexpr qint64 gesturePauseMs = 250;

    enum class Phase { none, began, changed, ended, cancelled };

    struct Sample {
        double dx = 0; // positive: the content moves right (a swipe back)
        double dy = 0;
        Phase phase = Phase::none;
        bool momentum = false; // inertia after the fingers have lifted
        qint64 timeMs = 0;
    };

    struct Context {
        bool editMode = false;
        double scale = 1;
        double fittedScale = 1;
    };

    struct Decision {
        bool consumed = false;
        int turnDirection = 0;   // -1 back, +1 forward, 0 none
        bool redrawSoon = false; // the event scrolls a zoomed page; drawings over it follow
    };

    Decision feed(const Sample &sample, const Context &context);

private:
    void reset();

    bool m_didTurn = false;
    double m_accumulated = 0;
    bool m_seenEvent = false;
    qint64 m_lastEventMs = 0;
};

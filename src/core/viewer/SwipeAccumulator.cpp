#include "core/viewer/SwipeAccumulator.h"

#include "core/viewer/ViewerZoom.h"

#include <cmath>

void SwipeAccumulator::reset()
{
    m_didTurn = false;
    m_accumulated = 0;
}

SwipeAccumulator::Decision SwipeAccumulator::feed(const Sample &sample, const Context &context)
{
    // Without phases a pause stands for the lifted fingers; an event after it begins a new gesture.
    const bool paused = m_seenEvent && sample.timeMs - m_lastEventMs > gesturePauseMs;
    if (sample.phase == Phase::began ||
        (paused && (sample.phase == Phase::none || sample.phase == Phase::changed)))
        reset();
    m_seenEvent = true;
    m_lastEventMs = sample.timeMs;

    const bool ends = sample.phase == Phase::ended || sample.phase == Phase::cancelled;
    const bool zoomedIn = ViewerZoom::isZoomedIn(context.scale, context.fittedScale);
    Decision decision;
    const bool horizontal = std::abs(sample.dx) > 1.4 * std::abs(sample.dy) && std::abs(sample.dx) > 2;
    if (horizontal) {
        decision.consumed = true;
        if (sample.momentum)
            return decision;
        m_accumulated += sample.dx;
        if (!context.editMode && !zoomedIn && !m_didTurn && std::abs(m_accumulated) >= threshold) {
            decision.turnDirection = m_accumulated > 0 ? -1 : 1;
            m_didTurn = true;
        }
        if (ends)
            reset();
        return decision;
    }
    if (ends)
        reset();
    if (zoomedIn) {
        decision.redrawSoon = true;
        return decision;
    }
    decision.consumed = true;
    return decision;
}

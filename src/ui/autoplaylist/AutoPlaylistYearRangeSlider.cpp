#include "ui/autoplaylist/AutoPlaylistYearRangeSlider.h"

#include "ui/common/LyrafoldTheme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QColor &systemBlue()
{
    static const QColor blue(0, 122, 255);
    return blue;
}

} // namespace

AutoPlaylistYearRangeSlider::AutoPlaylistYearRangeSlider(int minYear, int maxYear, QWidget *parent)
    : QWidget(parent), m_minYear(minYear), m_maxYear(std::max(minYear, maxYear)), m_lowerYear(minYear),
      m_upperYear(m_maxYear)
{
    setFixedHeight(fixedHeight);
    setMinimumWidth(int(4 * handleRadius));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
}

QSize AutoPlaylistYearRangeSlider::sizeHint() const
{
    return {200, fixedHeight};
}

qreal AutoPlaylistYearRangeSlider::xPosition(int year) const
{
    const qreal span = std::max(m_maxYear - m_minYear, 1);
    const qreal t = std::clamp((year - m_minYear) / span, 0.0, 1.0);
    return trackLeft() + t * trackWidth(width());
}

int AutoPlaylistYearRangeSlider::year(qreal x) const
{
    const qreal span = std::max(m_maxYear - m_minYear, 1);
    const qreal t = std::clamp((x - trackLeft()) / trackWidth(width()), 0.0, 1.0);
    return std::min(m_maxYear, m_minYear + int(std::lround(t * span)));
}

std::optional<AutoPlaylistYearRangeSlider::DragHandle> AutoPlaylistYearRangeSlider::handleFor(qreal x) const
{
    const qreal lower = xPosition(m_lowerYear);
    const qreal upper = xPosition(m_upperYear);
    const qreal toLower = std::abs(x - lower);
    const qreal toUpper = std::abs(x - upper);
    if (toLower < toUpper)
        return DragHandle::lower;
    if (toUpper < toLower)
        return DragHandle::upper;
    // As near to one as to the other: halfway between them, or they stand together. Together, the one
    // on the pointer's side moves; a press on the two knobs leaves it to the way the drag goes.
    if (lower == upper && toLower <= handleRadius)
        return std::nullopt;
    return x > upper ? DragHandle::upper : DragHandle::lower;
}

void AutoPlaylistYearRangeSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const qreal x = event->position().x();
    m_dragging = true;
    m_activeHandle = handleFor(x);
    moveActiveHandle(x);
}

void AutoPlaylistYearRangeSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    const qreal x = event->position().x();
    if (!m_activeHandle) {
        const qreal together = xPosition(m_lowerYear);
        if (x > together)
            m_activeHandle = DragHandle::upper;
        else if (x < together)
            m_activeHandle = DragHandle::lower;
    }
    moveActiveHandle(x);
}

void AutoPlaylistYearRangeSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    m_activeHandle.reset();
    update();
}

void AutoPlaylistYearRangeSlider::keyPressEvent(QKeyEvent *event)
{
    const int year = m_keyHandle == DragHandle::lower ? m_lowerYear : m_upperYear;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        moveKeyHandle(year - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        moveKeyHandle(year + 1);
        break;
    case Qt::Key_PageDown:
        moveKeyHandle(year - 10);
        break;
    case Qt::Key_PageUp:
        moveKeyHandle(year + 10);
        break;
    case Qt::Key_Home:
        moveKeyHandle(m_minYear);
        break;
    case Qt::Key_End:
        moveKeyHandle(m_maxYear);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void AutoPlaylistYearRangeSlider::focusInEvent(QFocusEvent *event)
{
    // Shift+Tab comes back to the upper handle.
    if (event->reason() == Qt::TabFocusReason)
        m_keyHandle = DragHandle::lower;
    else if (event->reason() == Qt::BacktabFocusReason)
        m_keyHandle = DragHandle::upper;
    QWidget::focusInEvent(event);
    update();
}

bool AutoPlaylistYearRangeSlider::focusNextPrevChild(bool next)
{
    const DragHandle from = next ? DragHandle::lower : DragHandle::upper;
    if (!hasFocus() || m_keyHandle != from)
        return QWidget::focusNextPrevChild(next);
    m_keyHandle = next ? DragHandle::upper : DragHandle::lower;
    update();
    return true;
}

void AutoPlaylistYearRangeSlider::moveKeyHandle(int year)
{
    if (m_keyHandle == DragHandle::lower)
        m_lowerYear = std::clamp(year, m_minYear, m_upperYear);
    else
        m_upperYear = std::clamp(year, m_lowerYear, m_maxYear);
    Q_EMIT rangeChanged(m_lowerYear, m_upperYear);
    update();
}

void AutoPlaylistYearRangeSlider::moveActiveHandle(qreal x)
{
    if (m_activeHandle == DragHandle::lower)
        m_lowerYear = std::clamp(year(x), m_minYear, m_upperYear);
    else if (m_activeHandle == DragHandle::upper)
        m_upperYear = std::clamp(year(x), m_lowerYear, m_maxYear);
    Q_EMIT rangeChanged(m_lowerYear, m_upperYear);
    update();
}

void AutoPlaylistYearRangeSlider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal middle = height() / 2.0;
    const QRectF track(trackLeft(), middle - 2.5, trackWidth(width()), 5);
    QPainterPath whole;
    whole.addRoundedRect(track, 2.5, 2.5);
    painter.fillPath(whole, QColor::fromRgbF(0.78f, 0.78f, 0.78f));

    const qreal lower = xPosition(m_lowerYear);
    const qreal upper = xPosition(m_upperYear);
    QPainterPath range;
    range.addRoundedRect(QRectF(lower, track.top(), std::max<qreal>(upper - lower, 0), track.height()), 2.5,
                         2.5);
    painter.fillPath(range, systemBlue());

    drawHandle(painter, lower, m_activeHandle == DragHandle::lower);
    drawHandle(painter, upper, m_activeHandle == DragHandle::upper);
    if (hasFocus()) {
        // On whole units, so that the ring is as crisp and as wide as the buttons' ring.
        const qreal focused = std::round(m_keyHandle == DragHandle::lower ? lower : upper);
        const qreal radius = handleRadius + 2;
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(LyrafoldTheme::focusRing(), 2));
        painter.drawEllipse(QPointF(focused, std::round(middle)), radius, radius);
    }
}

void AutoPlaylistYearRangeSlider::drawHandle(QPainter &painter, qreal centerX, bool active) const
{
    const QRectF circle(centerX - handleRadius, height() / 2.0 - handleRadius, 2 * handleRadius,
                        2 * handleRadius);
    painter.setBrush(active ? QColor(Qt::white) : QColor::fromRgbF(0.96f, 0.96f, 0.96f));
    painter.setPen(QPen(systemBlue(), active ? 2.4 : 1.7));
    painter.drawEllipse(circle.adjusted(1, 1, -1, -1));
}

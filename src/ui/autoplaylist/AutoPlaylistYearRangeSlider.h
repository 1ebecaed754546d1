#pragma once

#include <QWidget>

#include <algorithm>
#include <optional>

// A track with two round handles that chooses a range of whole years, lower to upper. A press moves
// the handle nearer to the pointer to the year under it at once, and a drag keeps moving that handle;
// a handle never passes the other. When both stand on the same place the handle that can move towards
// the pointer takes the press, so two handles on one year never lock each other; a press on the knobs
// themselves leaves the choice to the way the drag goes.
//
// From the keyboard each handle is a stop of its own: Tab reaches the lower handle, then the upper one.
// The arrows move the focused handle by a year, Page Up and Page Down by ten, Home and End to the ends.
class AutoPlaylistYearRangeSlider : public QWidget {
    Q_OBJECT

public:
    enum class DragHandle { lower, upper };

    static constexpr qreal handleRadius = 8;

    AutoPlaylistYearRangeSlider(int minYear, int maxYear, QWidget *parent = nullptr);

    int minYear() const { return m_minYear; }
    int maxYear() const { return m_maxYear; }
    int lowerYear() const { return m_lowerYear; }
    int upperYear() const { return m_upperYear; }

    // The track for a view of that width: from the handle radius in, at least one unit wide.
    static qreal trackLeft() { return handleRadius; }
    static qreal trackWidth(qreal viewWidth) { return std::max<qreal>(viewWidth - 2 * handleRadius, 1); }
    qreal xPosition(int year) const;
    // The year at a position, rounded to the nearest whole year, within the track's ends.
    int year(qreal x) const;
    // The handle a press at x takes; none on the knobs of two handles that stand together.
    std::optional<DragHandle> handleFor(qreal x) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    // After every press and every drag step on the control, whether or not the years moved.
    void rangeChanged(int lowerYear, int upperYear);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    static constexpr int fixedHeight = 22;
    void moveActiveHandle(qreal x);
    void moveKeyHandle(int year);
    void drawHandle(QPainter &painter, qreal centerX, bool active) const;

    int m_minYear;
    int m_maxYear;
    int m_lowerYear;
    int m_upperYear;
    std::optional<DragHandle> m_activeHandle;
    bool m_dragging = false;
    // The handle the keys move.
    DragHandle m_keyHandle = DragHandle::lower;
};

#pragma once

// The edit mode's tool palette (PdfEditInspectorView) and its colour buttons.

#include "core/annotations/EditToolState.h"

#include <QColor>
#include <QPushButton>
#include <QWidget>

#include <optional>

class QSlider;

// A button that shows a colour and lets the user pick another.
class ColorWell : public QPushButton {
    Q_OBJECT

public:
    explicit ColorWell(const QColor &color, QWidget *parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);

Q_SIGNALS:
    void colorChanged(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};

// The floating tool palette of the viewer's edit mode: the three tools, thickness and opacity, the pen
// and highlighter colours, and the undo, redo and clear commands. It lies over the window's content
// and can be dragged by its surface; it stays 12 points inside the window, and keeps its distances to
// the nearer side edge and the nearer top or bottom edge when the window is resized.
class PdfEditInspectorView : public QWidget {
    Q_OBJECT

public:
    // The palette's place in an area of that size when asked for at origin (clampedOrigin()).
    static QPoint clampedOriginForTesting(const QPoint &origin, const QSize &area)
    {
        return clampedOrigin(origin, area);
    }
    // Where the palette placed at origin in an area of size before stands once the area is resized to
    // after (edgesOf(), then originFromEdges()).
    static QPoint originAfterResizeForTesting(const QPoint &origin, const QSize &before, const QSize &after)
    {
        return originFromEdges(edgesOf(QRect(origin, paletteSize), before), after);
    }

    explicit PdfEditInspectorView(QWidget *parent);

    QPushButton *penButton() const { return m_pen; }
    QPushButton *textButton() const { return m_text; }
    QPushButton *highlighterButton() const { return m_highlighter; }
    ColorWell *colorWell() const { return m_colorWell; }
    ColorWell *highlighterColorWell() const { return m_highlighterColorWell; }
    QPushButton *undoButton() const { return m_undo; }
    QPushButton *redoButton() const { return m_redo; }
    QPushButton *clearPageButton() const { return m_clearPage; }
    QPushButton *clearBookButton() const { return m_clearBook; }

    // Shown without telling anyone.
    void showThickness(double value);
    void showOpacity(double value);
    // Exactly the chosen tool's button is on.
    void showTool(PdfEditTool tool);

    // Places the palette at its first place and records its distances to the edges.
    void placeInitially();
    void restorePositionFromEdges();

Q_SIGNALS:
    void thicknessChanged(double value);
    void opacityChanged(double value);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    static constexpr QSize paletteSize{390, 244};
    static constexpr int edgeMargin = 12;
    static constexpr int rightInset = 18;
    static constexpr double minThickness = 1;
    static constexpr double maxThickness = 24;
    static constexpr double minOpacity = 0.1;
    static constexpr double maxOpacity = 1;

    // Distances from the palette to the edges of the area it lies in.
    struct EdgeDistances {
        int top = 0;
        int left = 0;
        int bottom = 0;
        int right = 0;
        friend bool operator==(const EdgeDistances &, const EdgeDistances &) = default;
    };
    // At the right side of the area, centred vertically.
    static QPoint initialOrigin(const QSize &area);
    // At least edgeMargin inside every edge; when the area is too small, the left and top win.
    static QPoint clampedOrigin(const QPoint &origin, const QSize &area);
    static EdgeDistances edgesOf(const QRect &frame, const QSize &area);
    // The nearer side edge and the nearer top or bottom edge keep their distance (a tie goes to the
    // right and the top), clamped as a drag is.
    static QPoint originFromEdges(const EdgeDistances &edges, const QSize &area);

    double thickness() const;
    double opacity() const;
    void recordEdges();

    QPushButton *m_pen = nullptr;
    QPushButton *m_text = nullptr;
    QPushButton *m_highlighter = nullptr;
    QSlider *m_thickness = nullptr;
    QSlider *m_opacity = nullptr;
    ColorWell *m_colorWell = nullptr;
    ColorWell *m_highlighterColorWell = nullptr;
    QPushButton *m_undo = nullptr;
    QPushButton *m_redo = nullptr;
    QPushButton *m_clearPage = nullptr;
    QPushButton *m_clearBook = nullptr;
    std::optional<QPoint> m_dragStart;
    std::optional<EdgeDistances> m_edgeInsets;
};

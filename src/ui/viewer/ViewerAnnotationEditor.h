#pragma once

#include "core/annotations/BookAnnotations.h"
#include "core/annotations/EditToolState.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QPointer>

#include <functional>
#include <optional>

class PdfEditInspectorView;
class PdfPageView;
class QColor;
class QWidget;

// The viewer's edit mode: the tools and their palette, drawing strokes and placing notes on the pages
// of the book shown, undo, redo and clearing. It holds the book's annotations (BookAnnotations), which
// the window opens and closes with the book and the page view paints. The palette lies over window.
class ViewerAnnotationEditor : public QObject {
    Q_OBJECT

public:
    ViewerAnnotationEditor(QWidget *window, PdfPageView *view);
    ~ViewerAnnotationEditor() override;

    BookAnnotations &annotations() { return m_annotations; }
    const BookAnnotations &annotations() const { return m_annotations; }
    bool isEditMode() const { return m_isEditMode; }
    // In edit mode with the text tool chosen: the next press places a note.
    bool addsText() const { return m_isEditMode && m_tools.addTextMode(); }

    // Opens or closes the palette; the page stays where it was.
    void toggleEditMode();
    // The one way the tool changes.
    void setEditTool(PdfEditTool tool);
    // The palette's controls.
    void penChosen();
    void opacityChanged(double value);
    void colorChanged(const QColor &color);
    void highlighterColorChanged(const QColor &color);

    // Input on the page view (view coordinates); true when the tools took it.
    bool press(const QPointF &point);
    bool drag(const QPointF &point);
    bool release();
    // The stroke that the press of a double click left, taken back; true when there was one.
    bool withdrawDoubleClickStroke();
    // Whether the last release drew nothing longer than a few points: a click, not a mark.
    bool lastReleaseWasPointLike() const { return m_lastReleaseWasPointLike; }
    void dropLiveStroke();

    // Keeps the palette at its distances to the window's edges.
    void windowResized();

Q_SIGNALS:
    void editModeChanged(bool on);
    // The tool changed: the window's status text may change with it.
    void toolChanged();

private:
    // The palette's tool buttons, thickness, history and clearing.
    void textToggled(bool on);
    void highlighterToggled(bool on);
    void thicknessChanged(double value);
    void undoEdit();
    void redoEdit();
    // The pages shown, after the user confirms; nothing when they hold no annotations.
    void clearCurrentPageEdits();
    void clearBookEdits();

    struct ViewPosition {
        std::optional<int> pageIndex;
        double scaleFactor = 1;
        QPoint scroll;
    };
    ViewPosition capturePosition() const;
    void restorePosition(const ViewPosition &position);
    void preservingPosition(const std::function<void()> &body);
    std::optional<int> pageIndexFor(const QPointF &point) const;
    int pageCount() const;
    void toolButtonToggled(PdfEditTool tool, bool on);
    void presentPalette();
    void applyToolCursor();
    void dismissPalette();
    void placeTextNote(int pageIndex, const QPointF &pagePoint);
    bool confirmClear(const QString &title, const QString &message);

    QWidget *m_window;
    PdfPageView *m_view;
    BookAnnotations m_annotations;
    EditToolState m_tools;
    bool m_isEditMode = false;
    QPointer<PdfEditInspectorView> m_palette;
    // The stroke being drawn: its page and its points, in the page's space.
    std::optional<int> m_liveStrokePageIndex;
    QList<PointRecord> m_liveStrokePagePoints;
    // The last release committed a stroke: a double click that follows takes it back.
    bool m_lastReleaseCommittedStroke = false;
    bool m_lastReleaseWasPointLike = true;
    // The largest extent, in page points, of a stroke that still counts as a click.
    static constexpr qreal pointLikeExtent = 4;
};

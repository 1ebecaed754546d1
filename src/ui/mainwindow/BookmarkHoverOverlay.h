#pragma once

#include <QPointer>
#include <QWidget>

class QTableView;

// A see-through layer over the library table that paints a band over the row under the pointer, in a
// second tint when that row's page preview is showing. Clicks pass through to the table. The window's
// hover logic tells it the rows; each change and each drawing goes to the hover trace.
class BookmarkHoverOverlay : public QWidget {
    Q_OBJECT

public:
    // Covers the table's viewport and follows its size.
    explicit BookmarkHoverOverlay(QTableView *tableView);

    QTableView *tableView() const { return m_tableView; }

    // The row the band is drawn on (-1: none), for tests that move the pointer.
    int hoveredRowForTesting() const { return m_hoveredRow; }
    // A new value is traced and drawn at once; the same value changes nothing.
    void setHoveredRow(int row);

    int previewHighlightRow() const { return m_previewHighlightRow; }
    // Draws nothing by itself: whoever changes it asks for a repaint.
    void setPreviewHighlightRow(int row) { m_previewHighlightRow = row; }

    // The band's colour for a row that is not being previewed, for the test that it lets the row show.
    QColor hoverBandColourForTesting() const { return hoverBandColour(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The band's colour for a row that is not being previewed.
    QColor hoverBandColour() const;

    QPointer<QTableView> m_tableView;
    int m_hoveredRow = -1;
    int m_previewHighlightRow = -1;
};

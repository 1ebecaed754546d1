#pragma once

#include <QColor>
#include <QSet>
#include <QTableView>

class BookmarkHoverOverlay;

// How one row of the library table looks: its tint (alternating, or the selection colour) and its
// interaction look, a small lift under the pointer and a sinking while it is pressed or pulsed.
struct BookmarkTableRowView {
    int logicalRow = 0;
    bool hovering = false;
    bool pressing = false;
    bool selected = false;

    struct Look {
        qreal translateY = 0; // downward
        qreal scale = 1;
        qreal shadowOpacity = 0;
        qreal alpha = 1;
    };

    QColor background() const;
    Look look() const;
};

// The library table: draws no alternating colours of its own (the rows carry their tints), keeps the
// pointer state of its rows, pulses a clicked row, and hands width changes to all columns in
// proportion to their widths. Holds the hover overlay.
class BookmarkTableView : public QTableView {
    Q_OBJECT

public:
    explicit BookmarkTableView(QWidget *parent = nullptr);

    BookmarkHoverOverlay *hoverOverlay() const { return m_hoverOverlay; }

    BookmarkTableRowView rowView(int row) const;

    // The pressed look now, taken away after the given time; a later pulse of the same row ends
    // with the earlier one.
    void triggerPressPulse(int row, qreal seconds);

    // The widths the columns share the table's width by, in proportion. No column gets narrower than
    // its header's text, in whatever language: a column that needs more takes it from the others.
    void setColumnBaseWidths(const QList<int> &widths);

    void setModel(QAbstractItemModel *model) override;

Q_SIGNALS:
    // A click on a column header, by logical column.
    void headerClicked(int column);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void setHoveringRow(int row);
    void setPressingRow(int row);
    void updateRow(int row);
    void fitColumnsToWidth();

    BookmarkHoverOverlay *m_hoverOverlay = nullptr;
    int m_hoveringRow = -1;
    int m_pressingRow = -1;
    QSet<int> m_pulsingRows;
    QList<int> m_baseWidths;
    bool m_fitting = false;
};

#pragma once

#include <QListView>

class WorkshopGridItemDelegate;

// The workshop's grid of book cells: a wrapping grid of fixed cells that scrolls vertically. A press on
// a cell's relink button relinks rather than selects; a double click opens the book. Return on the
// current cell does what the mouse does there: relinks a book that shows the button, opens any other.
class WorkshopGridView : public QListView {
    Q_OBJECT

public:
    explicit WorkshopGridView(WorkshopGridItemDelegate *delegate, QWidget *parent = nullptr);

Q_SIGNALS:
    void relinkPressed(int row);
    void openRequested(int row);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    WorkshopGridItemDelegate *m_delegate;
};

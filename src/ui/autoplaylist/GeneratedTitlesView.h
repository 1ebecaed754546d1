#pragma once

#include "ui/autoplaylist/AutoPlaylistGeneratedRowView.h"

#include <QTableView>

#include <optional>

class GeneratedTitlesModel;

// The table of generated titles: one card per row (AutoPlaylistGeneratedRowView). A card's buttons
// click as buttons; its handle "≡" drags the title to another place in the list; a press anywhere
// else on the card shows the card pressed until the button comes up (the window opens the title on
// that press). From the keyboard the left and right arrows move a ring over the current card's
// buttons and Space presses the one ringed.
class GeneratedTitlesView : public QTableView {
    Q_OBJECT

public:
    explicit GeneratedTitlesView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    // Whether a point of the viewport is on a card's button or handle.
    bool isOnControl(int row, const QPoint &viewportPosition) const;

Q_SIGNALS:
    void buttonClicked(AutoPlaylistGeneratedRowView::Button button, int row);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRect cellRect(int row) const;
    void setPressedRow(int row);

    AutoPlaylistGeneratedRowView *m_rowView;
    GeneratedTitlesModel *m_titles = nullptr;
    struct PressedButton {
        int row;
        AutoPlaylistGeneratedRowView::Button button;
    };
    std::optional<PressedButton> m_pressedButton;
    // The button of the current card the keys press; none for the card itself.
    std::optional<AutoPlaylistGeneratedRowView::Button> m_keyButton;
    // The row whose handle the press went down on, and where.
    int m_handleRow = -1;
    QPoint m_handlePressPosition;
};

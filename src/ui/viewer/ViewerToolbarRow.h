#pragma once

#include <QList>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

// The viewer's toolbar row: its controls left to right, in one line. When the window is too narrow
// for all of them, the elastic control (the title label) gives up width down to its minimum, then
// buttons leave the row, the least needed first, and wait in the menu of the "»" button at the row's
// end, where each does what its button does. Controls that are not buttons always stay.
class ViewerToolbarRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int spacing = 8;
    // Narrower than this, the elastic control is left out.
    static constexpr int minimumElasticWidth = 24;

    explicit ViewerToolbarRow(QWidget *parent = nullptr);

    // A button as wide as its text needs (the style's minimum width for text buttons would make the
    // one-glyph page buttons as wide as "Fullscreen"), reached with Tab, never a default button.
    static QPushButton *makeButton(const QString &text);
    // A one-line label that cuts its text at the tail with "…" when it is too narrow.
    static QLabel *makeElidingLabel();

    // keep: how long a button stays as the row narrows; higher stays longer, and of equal ones the
    // rightmost leaves first.
    void addControl(QWidget *control, int keep = 0);
    // Two buttons side by side that stay or leave together.
    void addControlPair(QWidget *first, QWidget *second, int keep);
    // Takes the width left over, between its minimum width and its maximum width.
    void addElasticControl(QWidget *control);

    QToolButton *overflowButton() const { return m_overflowButton; }

    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Control {
        QWidget *widget = nullptr;
        QAbstractButton *button = nullptr; // set for the controls that may leave the row
        int keep = 0;
        qsizetype partner = -1; // the other button of a pair
        bool elastic = false;
        bool overflowed = false;
    };

    void append(const Control &control);
    // The buttons now in the overflow menu, left to right.
    QList<QAbstractButton *> overflowedButtons() const;
    int preferredWidth(const Control &control) const;
    int minimumWidth(const Control &control) const;
    void relayout();
    void fillOverflowMenu();

    QList<Control> m_controls;
    QToolButton *m_overflowButton = nullptr;
    QMenu *m_overflowMenu = nullptr;
};

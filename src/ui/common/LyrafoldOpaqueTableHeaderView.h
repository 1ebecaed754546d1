#pragma once

#include <QHeaderView>

// The dark table header: an opaque fill under every section, and sections drawn as
// LyrafoldTableHeaderCell draws them (no style bevel). The sort indicator, when a table shows it, is
// a small white triangle at the right end of its section.
//
// Given a focus policy that takes Tab, the header is a control of its own for the keyboard: while it
// has the focus a ring marks its current section, Left and Right move the ring over the shown
// sections, and Space or Return press the section as a click does (sectionClicked()). Other keys
// do nothing to the table's rows or selection.
class LyrafoldOpaqueTableHeaderView : public QHeaderView {
    Q_OBJECT

public:
    explicit LyrafoldOpaqueTableHeaderView(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The logical section the keyboard acts on: the first shown one until a key moves it.
    int keyboardSection() const;
    void moveKeyboardSection(int step);

    int m_keyboardSection = -1;
};

namespace LyrafoldTableHeaderCell {

// One header cell: the header fill, a hairline separator at the right edge 4 units short of top and
// bottom, and the text in white bold serif of 12, centred even when it is wider than the cell.
void draw(QPainter *painter, const QRect &frame, const QString &text);

// The narrowest cell that shows the text whole, with a little room on either side.
int widthFor(const QString &text);

} // namespace LyrafoldTableHeaderCell

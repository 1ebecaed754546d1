#pragma once

#include <QHeaderView>

// The dark table header: an opaque fill under every section, and sections drawn as
// LyrafoldTableHeaderCell draws them (no style bevel). The sort indicator, when a table shows it, is
// a small white triangle at the right end of its section.
class LyrafoldOpaqueTableHeaderView : public QHeaderView {
    Q_OBJECT

public:
    explicit LyrafoldOpaqueTableHeaderView(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
};

namespace LyrafoldTableHeaderCell {

// One header cell: the header fill, a hairline separator at the right edge 4 units short of top and
// bottom, and the text in white bold serif of 12, centred even when it is wider than the cell.
void draw(QPainter *painter, const QRect &frame, const QString &text);

// The narrowest cell that shows the text whole, with a little room on either side.
int widthFor(const QString &text);

} // namespace LyrafoldTableHeaderCell

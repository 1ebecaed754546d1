#pragma once

#include <QLayout>
#include <QList>

// Lays its items out in a row, left to right, starting a new row where the next item would not fit:
// a toolbar that keeps every button whole in a narrow window, and on one row when there is room. Items
// of a row are centred vertically in it; an expanding spacer item fills the rest of the last row.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget *parent = nullptr, int horizontalSpacing = 6, int verticalSpacing = 6);
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Places the items within rect (only measures when apply is false) and returns the height used.
    int doLayout(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> m_items;
    int m_horizontalSpacing;
    int m_verticalSpacing;
};

#pragma once

#include <QHash>
#include <QStyledItemDelegate>

// A cell of the workshop's grid: the book's cover, its name (up to three lines) and its page count
// ("12 pp", or "—" when unknown), dimmed when the PDF is missing, with a "Relink PDF..." button on
// missing books where relinking is allowed (the Default tab) and a blue frame when selected.
class WorkshopGridItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr QSize cellSize{100, 168};

    explicit WorkshopGridItemDelegate(QObject *parent = nullptr);

    // Whether the cells show their names and page counts.
    void setShowText(bool show) { m_showText = show; }
    // Whether missing books offer relinking.
    void setAllowRelink(bool allow) { m_allowRelink = allow; }

    // The cell drawn within an item's rectangle, and its parts.
    static QRect cellRect(const QRect &itemRect);
    static QRect thumbnailRect(const QRect &itemRect);
    static QRect relinkButtonRect(const QRect &itemRect);
    // "Relink PDF..." in the interface language.
    static QString relinkText();
    // "—" for an unknown count, else "<n> pp".
    static QString pageText(qint64 pageCount);

    // Whether the cell of index shows the relink button.
    bool showsRelink(const QModelIndex &index) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    // The wrapped lines of each name, by name and number of lines.
    mutable QHash<QString, QStringList> m_titleLines;
    bool m_showText = true;
    bool m_allowRelink = false;
};

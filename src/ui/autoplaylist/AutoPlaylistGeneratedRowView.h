#pragma once

#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <optional>

struct SongRecord;

// The card of one generated title: a drag handle "≡", the title in capitals, the book's file name, a
// line of tags and five icon buttons (another book, another title, remove, Spotify, YouTube). Cards
// are drawn, not one widget per row, so a list of hundreds of titles costs only the rows on screen;
// the table (GeneratedTitlesView) takes the clicks by the geometry given here.
//
// A card lifts a little under the pointer, sinks while pressed and shows the selected title in amber.
class AutoPlaylistGeneratedRowView : public QStyledItemDelegate {
    Q_OBJECT

public:
    enum class Button { bookSwap, titleSwap, remove, spotify, youtube };
    static constexpr int cardHeight = 77;
    // A row holds its card and the gap to the next one.
    static constexpr int rowHeight = cardHeight + 7;

    explicit AutoPlaylistGeneratedRowView(QObject *parent = nullptr);

    // The card within its row's cell, and the places in it (view coordinates).
    static QRect cardRect(const QRect &cell);
    static QRect handleRect(const QRect &card);
    static QRect buttonRect(Button button, const QRect &card);
    // The button at a point of the row's cell, if any.
    static std::optional<Button> buttonAt(const QRect &cell, const QPoint &point);
    // Whether a point of the cell is on one of the card's controls: a button or the drag handle.
    static bool isOnControl(const QRect &cell, const QPoint &point);
    static QString toolTip(Button button);

    // The tags line a card shows for the entry, for the tests of its text.
    static QString tagsLineForTesting(const SongRecord &entry) { return tagsLine(entry); }

    // The row whose card is pressed (-1: none), for its look.
    void setPressedRow(int row) { m_pressedRow = row; }
    int pressedRow() const { return m_pressedRow; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    // "Tags: " and the genre, style and tempo that are set, then the rating as five stars, joined by
    // " • "; "Tags: —" when there is nothing.
    static QString tagsLine(const SongRecord &entry);

    void paintCard(QPainter *painter, const QRectF &card, bool selected, bool hovering, bool pressing) const;
    void paintTexts(QPainter *painter, const QRect &card, const SongRecord &entry) const;
    void paintButtons(QPainter *painter, const QRect &card) const;
    const QPixmap &icon(Button button, qreal devicePixelRatio) const;

    int m_pressedRow = -1;
    mutable QHash<QString, QPixmap> m_icons;
};

#pragma once

#include <QHash>
#include <QMimeData>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

class QTimer;

// A list of the playlists window drawn as cards, one per row: rounded, lifting a little under the
// pointer, sinking while pressed, with a brass border when selected. The playlist list is a plain
// selectable list of such cards. A title card carries, from the left, the drag handle "≡", the title
// and its subtitle, and the buttons that open the title's Spotify and YouTube pages and remove it;
// titles are dragged by the handle to another place in the list, and the list takes dropped files
// when the window says so. Both lists take the keyboard focus, which rings the current card; the up
// and down arrows select cards. On a title card the left and right arrows move the ring over its
// buttons, and Space presses the one ringed.
class PlaylistCardView : public QTableView {
    Q_OBJECT

public:
    enum class Kind { playlists, titles };
    enum class Part { none, card, handle, spotify, youtube, remove };

    static constexpr int playlistCardHeight = 52;
    static constexpr int titleCardHeight = 64;
    static constexpr int cardGap = 8;
    static constexpr int buttonSide = 52;

    explicit PlaylistCardView(Kind kind, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }

    // The card of a row and the place of one of its parts, in viewport coordinates.
    QRect cardRect(int row) const;
    QRect partRect(int row, Part part) const;
    // The part of a card under a viewport point; none off the cards. row, when given, is set to the
    // card's row (-1 off the cards).
    Part partAt(const QPoint &position, int *row = nullptr) const;

    int hoveredRow() const { return m_hoveredRow; }
    int pressedRow() const { return m_pressedRow; }
    Part pressedPart() const { return m_pressedPart; }
    // The row above which a drop at the viewport point lands; rowCount() below the last row.
    int dropRowAt(const QPoint &position) const;

    static QString toolTipOf(Part part);

    // Titles list only: what a drag brings may be dropped as (Qt::IgnoreAction: refused). The window
    // sets it; a title of this list dragged within it is a move without asking.
    std::function<Qt::DropAction(const QMimeData *data)> dropActionFor;

Q_SIGNALS:
    // A press on the body of a title card (not on its handle or a button).
    void cardPressed(int row);
    // A card's button pressed and released over itself.
    void partClicked(int row, PlaylistCardView::Part part);
    // A title starts to be dragged by its handle; the drag is under way until the drop.
    void rowDragStarted(int row);
    // Something the window accepted was dropped above dropRow.
    void dropped(const QMimeData *data, int dropRow);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setHoveredRow(int row);
    void setPressed(int row, Part part);
    void startRowDrag(int row);
    Qt::DropAction dropActionOf(const QDropEvent *event) const;
    void setDropRow(int row);
    void scrollWhileDragging();

    Kind m_kind;
    int m_hoveredRow = -1;
    int m_pressedRow = -1;
    Part m_pressedPart = Part::none;
    QPoint m_handlePressPosition;
    int m_dropRow = -1;
    // The button of the current title card the keys press; none for the card itself.
    Part m_keyPart = Part::none;
    QPoint m_dragPosition;
    QTimer *m_dragScroll = nullptr;
};

// Paints the cards of a PlaylistCardView.
class PlaylistCardDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit PlaylistCardDelegate(PlaylistCardView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    void paintButton(QPainter *painter, const QRect &rect, const QPixmap &image, bool pressed) const;
    // The card's shadow, fill and border for its state.
    QPixmap chrome(const QSize &card, bool selected, bool hovering, bool pressing, qreal ratio) const;

    PlaylistCardView *m_view;
    QFont m_titleFont;
    QFont m_subtitleFont;
    QFont m_handleFont;
    mutable QHash<QString, QPixmap> m_chrome;
    QPixmap m_removeImage;
    QPixmap m_spotifyImage;
    QPixmap m_youtubeImage;
};

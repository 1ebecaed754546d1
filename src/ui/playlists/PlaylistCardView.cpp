#include "ui/playlists/PlaylistCardView.h"

#include "core/playlist/PlaylistRows.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/playlists/PlaylistListModels.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <iterator>

namespace {

using Part = PlaylistCardView::Part;

constexpr qreal cornerRadius = 8;
constexpr int handleLeft = 8;
constexpr int handleWidth = 18;
constexpr int titleLeft = 34;
constexpr int playlistTextInset = 12;
// The title and subtitle end this far from a title card's right edge, clear of its three buttons.
constexpr int titleCardTextEnd = 200;
constexpr int buttonsRightInset = 10;
constexpr int buttonSpacing = 8;
constexpr int dragScrollMargin = 28;
constexpr int dragScrollStep = 14;

QColor grey(qreal white, qreal alpha = 1)
{
    return QColor::fromRgbF(float(white), float(white), float(white), float(alpha));
}

const QColor &selectedBorder()
{
    static const QColor c = QColor::fromRgbF(0.78f, 0.62f, 0.22f);
    return c;
}

const QColor &selectedFill()
{
    static const QColor c = QColor::fromRgbF(0.96f, 0.91f, 0.78f, 0.72f);
    return c;
}

struct CardLook {
    QPointF shift;
    qreal scale = 1;
    qreal shadowOpacity = 0.08;
    qreal shadowRadius = 4;
    QColor fill = grey(1, 0.62);
};

// Pressing wins over hovering; a selected card keeps its selection fill either way.
CardLook lookFor(bool selected, bool hovering, bool pressing)
{
    CardLook look;
    if (pressing) {
        look.shift = QPointF(0, 2);
        look.scale = 0.985;
        look.shadowOpacity = 0.24;
        look.shadowRadius = 1;
        look.fill = grey(0, 0.16);
    } else if (hovering) {
        look.shift = QPointF(0, -0.6);
        look.shadowOpacity = 0.32;
        look.shadowRadius = 5;
        look.fill = grey(1, 0.72);
    }
    if (selected)
        look.fill = selectedFill();
    return look;
}

constexpr int shadowMargin = 8;

// A soft shadow under the card: rings of the card's shape, fainter outwards.
void paintShadow(QPainter *painter, const QRectF &card, qreal opacity, qreal radius)
{
    const int rings = std::max(1, int(std::ceil(radius)));
    for (int ring = rings; ring >= 1; --ring) {
        QPainterPath path;
        const QRectF shape = card.translated(0, 2).adjusted(-ring, -ring * 0.5, ring, ring);
        path.addRoundedRect(shape, cornerRadius + ring, cornerRadius + ring);
        painter->fillPath(path, grey(0, opacity / rings * 0.9));
    }
}

} // namespace

PlaylistCardView::PlaylistCardView(Kind kind, QWidget *parent) : QTableView(parent), m_kind(kind)
{
    setObjectName(kind == Kind::playlists ? QStringLiteral("playlistTable") : QStringLiteral("titlesTable"));
    setItemDelegate(new PlaylistCardDelegate(this));
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize((kind == Kind::playlists ? playlistCardHeight : titleCardHeight) +
                                            cardGap);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::StrongFocus);
    // Tab leaves the list rather than walking (and selecting) its cards; the arrow keys select.
    setTabKeyNavigation(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(24);
    // The cards lie on the window's own background; they draw their selected look themselves.
    QPalette clear = palette();
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Highlight})
        clear.setColor(role, Qt::transparent);
    setPalette(clear);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    if (kind == Kind::titles) {
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDropIndicatorShown(false);
        m_dragScroll = new QTimer(this);
        m_dragScroll->setInterval(40);
        connect(m_dragScroll, &QTimer::timeout, this, &PlaylistCardView::scrollWhileDragging);
    }
}

QRect PlaylistCardView::cardRect(int row) const
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return {};
    const QRect cell = visualRect(model()->index(row, 0));
    return QRect(cell.left() + 2, cell.top() + cardGap / 2, cell.width() - 4,
                 m_kind == Kind::playlists ? playlistCardHeight : titleCardHeight);
}

QRect PlaylistCardView::partRect(int row, Part part) const
{
    const QRect card = cardRect(row);
    if (card.isEmpty())
        return {};
    const auto button = [&card](int fromRight) {
        const int right = card.right() - buttonsRightInset - fromRight * (buttonSide + buttonSpacing);
        return QRect(right - buttonSide + 1, card.center().y() - buttonSide / 2 + 1, buttonSide, buttonSide);
    };
    switch (part) {
    case Part::card:
        return card;
    case Part::handle:
        return m_kind == Kind::titles
                   ? QRect(card.left() + handleLeft, card.top(), handleWidth, card.height())
                   : QRect();
    case Part::remove:
        return m_kind == Kind::titles ? button(0) : QRect();
    case Part::youtube:
        return m_kind == Kind::titles ? button(1) : QRect();
    case Part::spotify:
        return m_kind == Kind::titles ? button(2) : QRect();
    case Part::none:
        break;
    }
    return {};
}

PlaylistCardView::Part PlaylistCardView::partAt(const QPoint &position, int *rowOut) const
{
    const int row = rowAt(position.y());
    if (rowOut)
        *rowOut = -1;
    if (!cardRect(row).contains(position))
        return Part::none;
    if (rowOut)
        *rowOut = row;
    for (const Part part : {Part::handle, Part::spotify, Part::youtube, Part::remove}) {
        if (partRect(row, part).contains(position))
            return part;
    }
    return Part::card;
}

int PlaylistCardView::dropRowAt(const QPoint &position) const
{
    const int count = model() ? model()->rowCount() : 0;
    const int row = rowAt(position.y());
    if (row < 0)
        return position.y() < 0 ? 0 : count;
    return position.y() > visualRect(model()->index(row, 0)).center().y() ? row + 1 : row;
}

QString PlaylistCardView::toolTipOf(Part part)
{
    switch (part) {
    case Part::remove:
        return QStringLiteral("Remove from playlist");
    case Part::spotify:
        return QStringLiteral("Open in Spotify");
    case Part::youtube:
        return QStringLiteral("Search on YouTube");
    case Part::handle:
        return QStringLiteral("Drag to move");
    case Part::card:
    case Part::none:
        break;
    }
    return {};
}

void PlaylistCardView::setHoveredRow(int row)
{
    if (row == m_hoveredRow)
        return;
    m_hoveredRow = row;
    viewport()->update();
}

void PlaylistCardView::setPressed(int row, Part part)
{
    if (row == m_pressedRow && part == m_pressedPart)
        return;
    m_pressedRow = row;
    m_pressedPart = row < 0 ? Part::none : part;
    viewport()->update();
}

void PlaylistCardView::mousePressEvent(QMouseEvent *event)
{
    int row = -1;
    const Part part = partAt(event->position().toPoint(), &row);
    if (event->button() != Qt::LeftButton) {
        QTableView::mousePressEvent(event);
        return;
    }
    setPressed(row, part);
    if (m_kind == Kind::playlists) {
        QTableView::mousePressEvent(event);
        return;
    }
    event->accept();
    if (part == Part::handle)
        m_handlePressPosition = event->position().toPoint();
    else if (part == Part::card)
        Q_EMIT cardPressed(row);
}

void PlaylistCardView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Every press on a title card opens it, the second of a double click too.
    if (m_kind == Kind::titles)
        mousePressEvent(event);
    else
        QTableView::mouseDoubleClickEvent(event);
}

void PlaylistCardView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    int row = -1;
    partAt(position, &row);
    setHoveredRow(row);
    if (m_kind == Kind::playlists) {
        QTableView::mouseMoveEvent(event);
        return;
    }
    if (m_pressedPart == Part::handle && (event->buttons() & Qt::LeftButton) &&
        (position - m_handlePressPosition).manhattanLength() >= QApplication::startDragDistance())
        startRowDrag(m_pressedRow);
}

void PlaylistCardView::mouseReleaseEvent(QMouseEvent *event)
{
    const int pressedRow = m_pressedRow;
    const Part pressedPart = m_pressedPart;
    setPressed(-1, Part::none);
    if (m_kind == Kind::playlists) {
        QTableView::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    int row = -1;
    const Part part = partAt(event->position().toPoint(), &row);
    const bool isButton = part == Part::spotify || part == Part::youtube || part == Part::remove;
    if (event->button() == Qt::LeftButton && isButton && part == pressedPart && row == pressedRow)
        Q_EMIT partClicked(row, part);
}

void PlaylistCardView::leaveEvent(QEvent *event)
{
    setHoveredRow(-1);
    QTableView::leaveEvent(event);
}

bool PlaylistCardView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave) {
        setHoveredRow(-1);
    } else if (event->type() == QEvent::ToolTip && m_kind == Kind::titles) {
        auto *help = static_cast<QHelpEvent *>(event);
        int row = -1;
        const Part part = partAt(help->pos(), &row);
        const QString text = toolTipOf(part);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, viewport(), partRect(row, part));
        return true;
    }
    return QTableView::viewportEvent(event);
}

void PlaylistCardView::startRowDrag(int row)
{
    const QRect card = cardRect(row);
    if (card.isEmpty())
        return;
    Q_EMIT rowDragStarted(row);
    auto *data = new QMimeData;
    data->setData(PlaylistRows::rowDragType, PlaylistRows::rowPayload(row));
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(viewport()->grab(card));
    drag->setHotSpot(m_handlePressPosition - card.topLeft());
    setPressed(-1, Part::none);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

Qt::DropAction PlaylistCardView::dropActionOf(const QDropEvent *event) const
{
    if (m_kind != Kind::titles)
        return Qt::IgnoreAction;
    const QMimeData *data = event->mimeData();
    const Qt::DropAction wanted = dropActionFor ? dropActionFor(data) : Qt::IgnoreAction;
    if (wanted != Qt::IgnoreAction)
        return wanted;
    if (data->hasFormat(PlaylistRows::rowDragType) && event->source() == this)
        return Qt::MoveAction;
    return Qt::IgnoreAction;
}

void PlaylistCardView::setDropRow(int row)
{
    if (row == m_dropRow)
        return;
    m_dropRow = row;
    viewport()->update();
}

void PlaylistCardView::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void PlaylistCardView::dragMoveEvent(QDragMoveEvent *event)
{
    const Qt::DropAction action = dropActionOf(event);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        setDropRow(-1);
        m_dragScroll->stop();
        return;
    }
    event->setDropAction(action);
    event->accept();
    m_dragPosition = event->position().toPoint();
    setDropRow(dropRowAt(m_dragPosition));
    if (!m_dragScroll->isActive())
        m_dragScroll->start();
}

void PlaylistCardView::dragLeaveEvent(QDragLeaveEvent *event)
{
    setDropRow(-1);
    if (m_dragScroll)
        m_dragScroll->stop();
    event->accept();
}

void PlaylistCardView::dropEvent(QDropEvent *event)
{
    setDropRow(-1);
    if (m_dragScroll)
        m_dragScroll->stop();
    const Qt::DropAction action = dropActionOf(event);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
    Q_EMIT dropped(event->mimeData(), dropRowAt(event->position().toPoint()));
}

void PlaylistCardView::scrollWhileDragging()
{
    if (m_dropRow < 0) {
        m_dragScroll->stop();
        return;
    }
    QScrollBar *bar = verticalScrollBar();
    if (m_dragPosition.y() < dragScrollMargin)
        bar->setValue(bar->value() - dragScrollStep);
    else if (m_dragPosition.y() > viewport()->height() - dragScrollMargin)
        bar->setValue(bar->value() + dragScrollStep);
    else
        return;
    setDropRow(dropRowAt(m_dragPosition));
}

void PlaylistCardView::keyPressEvent(QKeyEvent *event)
{
    static constexpr Part order[] = {Part::none, Part::spotify, Part::youtube, Part::remove};
    const int row = currentIndex().row();
    const int key = event->key();
    if (m_kind != Kind::titles || row < 0 || event->modifiers() != Qt::NoModifier ||
        (key != Qt::Key_Left && key != Qt::Key_Right && (key != Qt::Key_Space || m_keyPart == Part::none))) {
        QTableView::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Space) {
        Q_EMIT partClicked(row, m_keyPart);
        return;
    }
    const int at = int(std::find(std::begin(order), std::end(order), m_keyPart) - std::begin(order));
    m_keyPart = order[std::clamp(at + (key == Qt::Key_Right ? 1 : -1), 0, int(std::size(order)) - 1)];
    viewport()->update();
}

void PlaylistCardView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    // With the focus, the ring shows where the keys act: on the ringed button, or else on the whole
    // current card, inside its border.
    if (hasFocus() && currentIndex().isValid()) {
        QPainter ring(viewport());
        ring.setRenderHint(QPainter::Antialiasing);
        ring.setPen(QPen(LyrafoldTheme::focusRing(), 2));
        const int row = currentIndex().row();
        if (m_keyPart != Part::none)
            ring.drawRoundedRect(QRectF(partRect(row, m_keyPart)).adjusted(1, 1, -1, -1), 8, 8);
        else
            ring.drawRoundedRect(QRectF(cardRect(row)).adjusted(4, 4, -4, -4), cornerRadius - 3,
                                 cornerRadius - 3);
    }
    if (m_dropRow < 0 || !model())
        return;
    const int count = model()->rowCount();
    int y = 0;
    if (count > 0)
        y = m_dropRow < count ? cardRect(m_dropRow).top() - cardGap / 2
                              : cardRect(count - 1).bottom() + cardGap / 2 + 1;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(selectedBorder(), 2.5));
    painter.setBrush(selectedBorder());
    painter.drawLine(QPointF(12, y), QPointF(viewport()->width() - 12, y));
    painter.drawEllipse(QPointF(10, y), 3.5, 3.5);
}

// ---- The cards

PlaylistCardDelegate::PlaylistCardDelegate(PlaylistCardView *view)
    : QStyledItemDelegate(view), m_view(view),
      m_titleFont(
          LyrafoldTheme::playlistCardTitleFont(view->kind() == PlaylistCardView::Kind::playlists ? 15 : 14)),
      m_subtitleFont(LyrafoldTheme::playlistCardTitleFont(11)), m_handleFont(QApplication::font())
{
    m_handleFont.setPixelSize(13);
    m_handleFont.setWeight(QFont::DemiBold);
    if (view->kind() == PlaylistCardView::Kind::titles) {
        m_removeImage = LyrafoldUIAssets::image(QStringLiteral("delete"), 32);
        m_spotifyImage = LyrafoldUIAssets::image(QStringLiteral("spotify"), 35);
        m_youtubeImage = LyrafoldUIAssets::image(QStringLiteral("youtube"), 35);
    }
}

QSize PlaylistCardDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const int height = m_view->kind() == PlaylistCardView::Kind::playlists
                           ? PlaylistCardView::playlistCardHeight
                           : PlaylistCardView::titleCardHeight;
    return QSize(option.rect.width(), height + PlaylistCardView::cardGap);
}

QPixmap PlaylistCardDelegate::chrome(const QSize &card, bool selected, bool hovering, bool pressing,
                                     qreal ratio) const
{
    // The cards of a list share their size and one of a few looks: each is drawn once.
    const QString key = QStringLiteral("%1x%2/%3%4%5/%6")
                            .arg(card.width())
                            .arg(card.height())
                            .arg(int(selected))
                            .arg(int(hovering))
                            .arg(int(pressing))
                            .arg(ratio);
    if (const auto found = m_chrome.constFind(key); found != m_chrome.constEnd())
        return found.value();
    if (m_chrome.size() > 24)
        m_chrome.clear();
    const CardLook look = lookFor(selected, hovering, pressing);
    QPixmap pixmap((QSizeF(card + QSize(2 * shadowMargin, 2 * shadowMargin)) * ratio).toSize());
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(QPointF(shadowMargin, shadowMargin), QSizeF(card));
    paintShadow(&painter, shape, look.shadowOpacity, look.shadowRadius);
    QPainterPath path;
    const qreal border = selected ? 2.5 : 1;
    path.addRoundedRect(shape.adjusted(border / 2, border / 2, -border / 2, -border / 2), cornerRadius,
                        cornerRadius);
    // The shadow stays outside the card: under a translucent card it would darken it.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillPath(path, look.fill);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.strokePath(path, QPen(selected ? selectedBorder() : grey(1, 0.38), border));
    painter.end();
    m_chrome.insert(key, pixmap);
    return pixmap;
}

void PlaylistCardDelegate::paintButton(QPainter *painter, const QRect &rect, const QPixmap &image,
                                       bool pressed) const
{
    if (pressed) {
        QPainterPath path;
        path.addRoundedRect(QRectF(rect).adjusted(6, 6, -6, -6), 8, 8);
        painter->fillPath(path, grey(0, 0.14));
    }
    if (image.isNull())
        return;
    const QSizeF size = image.deviceIndependentSize();
    const QPointF topLeft(rect.center().x() + 0.5 - size.width() / 2,
                          rect.center().y() + 0.5 - size.height() / 2);
    painter->drawPixmap(topLeft + QPointF(0, pressed ? 1 : 0), image);
}

void PlaylistCardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const int row = index.row();
    const bool titles = m_view->kind() == PlaylistCardView::Kind::titles;
    const QRectF card = m_view->cardRect(row);
    if (card.isEmpty())
        return;
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovering = m_view->hoveredRow() == row;
    const bool pressing =
        m_view->pressedRow() == row && (m_view->pressedPart() == PlaylistCardView::Part::card || !titles);
    const CardLook look = lookFor(selected, hovering, pressing);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(card.center() + look.shift);
    painter->scale(look.scale, look.scale);
    painter->translate(-card.center());
    painter->drawPixmap(
        card.topLeft() - QPointF(shadowMargin, shadowMargin),
        chrome(card.size().toSize(), selected, hovering, pressing, painter->device()->devicePixelRatioF()));

    const QString title = index.data(Qt::DisplayRole).toString();
    painter->setPen(Qt::black);
    if (!titles) {
        painter->setFont(m_titleFont);
        const QRectF text = card.adjusted(playlistTextInset, 0, -playlistTextInset, 0);
        painter->drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                          QFontMetrics(m_titleFont).elidedText(title, Qt::ElideRight, int(text.width())));
        painter->restore();
        return;
    }

    painter->setFont(m_handleFont);
    painter->setPen(grey(0.25));
    painter->drawText(m_view->partRect(row, PlaylistCardView::Part::handle), Qt::AlignCenter,
                      QStringLiteral("≡"));

    const qreal textWidth = card.width() - titleLeft - titleCardTextEnd;
    const QFont &titleFont = m_titleFont;
    const QFont &subtitleFont = m_subtitleFont;
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics subtitleMetrics(subtitleFont);
    const QString subtitle = index.data(PlaylistTitlesModel::subtitleRole).toString();
    const qreal blockHeight = titleMetrics.height() + (subtitle.isEmpty() ? 0 : 2 + subtitleMetrics.height());
    const qreal top = card.top() + (card.height() - blockHeight) / 2;
    if (textWidth > 0) {
        painter->setFont(titleFont);
        painter->setPen(Qt::black);
        painter->drawText(QRectF(card.left() + titleLeft, top, textWidth, titleMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          titleMetrics.elidedText(title, Qt::ElideRight, int(textWidth)));
        if (!subtitle.isEmpty()) {
            painter->setFont(subtitleFont);
            painter->setPen(grey(0.25));
            painter->drawText(QRectF(card.left() + titleLeft, top + titleMetrics.height() + 2, textWidth,
                                     subtitleMetrics.height()),
                              Qt::AlignLeft | Qt::AlignVCenter,
                              subtitleMetrics.elidedText(subtitle, Qt::ElideMiddle, int(textWidth)));
        }
    }

    const auto pressed = [&](PlaylistCardView::Part part) {
        return m_view->pressedRow() == row && m_view->pressedPart() == part;
    };
    using P = PlaylistCardView::Part;
    paintButton(painter, m_view->partRect(row, P::spotify), m_spotifyImage, pressed(P::spotify));
    paintButton(painter, m_view->partRect(row, P::youtube), m_youtubeImage, pressed(P::youtube));
    paintButton(painter, m_view->partRect(row, P::remove), m_removeImage, pressed(P::remove));
    painter->restore();
}

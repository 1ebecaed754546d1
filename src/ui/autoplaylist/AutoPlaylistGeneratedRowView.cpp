#include "ui/autoplaylist/AutoPlaylistGeneratedRowView.h"

#include "core/bookmarks/SongRecord.h"
#include "core/text/TextUtils.h"
#include "ui/autoplaylist/GeneratedTitlesModel.h"
#include "ui/common/LyrafoldUIAssets.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <array>
#include <cmath>

namespace {

using Button = AutoPlaylistGeneratedRowView::Button;

struct ButtonLook {
    Button button;
    const char *image;
    int side;      // of the button
    qreal maxSide; // of its picture
    const char *tip;
};

// Right to left, as the card lays them out from its trailing edge.
constexpr std::array<ButtonLook, 5> buttonsFromRight = {{
    {Button::remove, "delete", 44, 32, "Remove from generated list"},
    {Button::youtube, "youtube", 44, 35, "Search on YouTube"},
    {Button::spotify, "spotify", 44, 35, "Open in Spotify"},
    {Button::titleSwap, "titleswap", 62, 59, "Replace with another title from the pool"},
    {Button::bookSwap, "bookswap", 62, 59, "Cycle another book for this title"},
}};

const ButtonLook &lookOf(Button button)
{
    return *std::find_if(buttonsFromRight.begin(), buttonsFromRight.end(),
                         [button](const ButtonLook &look) { return look.button == button; });
}

QColor grey(float white, float alpha = 1)
{
    return QColor::fromRgbF(white, white, white, alpha);
}

const QColor &amber()
{
    static const QColor colour = QColor::fromRgbF(0.86f, 0.58f, 0.12f);
    return colour;
}

QFont pixelFont(int size, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setPixelSize(size);
    font.setWeight(weight);
    return font;
}

int textLeft(const QRect &card)
{
    return AutoPlaylistGeneratedRowView::handleRect(card).right() + 1 + 8;
}

int textRight(const QRect &card)
{
    return AutoPlaylistGeneratedRowView::buttonRect(Button::bookSwap, card).left() - 8;
}

} // namespace

AutoPlaylistGeneratedRowView::AutoPlaylistGeneratedRowView(QObject *parent) : QStyledItemDelegate(parent) {}

QRect AutoPlaylistGeneratedRowView::cardRect(const QRect &cell)
{
    return QRect(cell.left() + 8, cell.top() + 3, std::max(cell.width() - 16, 1), cardHeight);
}

QRect AutoPlaylistGeneratedRowView::handleRect(const QRect &card)
{
    return QRect(card.left() + 6, card.top(), 22, card.height());
}

QRect AutoPlaylistGeneratedRowView::buttonRect(Button button, const QRect &card)
{
    int right = card.right() + 1 - 10;
    for (const ButtonLook &look : buttonsFromRight) {
        const QRect rect(right - look.side, card.top() + (card.height() - look.side) / 2, look.side,
                         look.side);
        if (look.button == button)
            return rect;
        right = rect.left() - 8;
    }
    return {};
}

std::optional<AutoPlaylistGeneratedRowView::Button>
AutoPlaylistGeneratedRowView::buttonAt(const QRect &cell, const QPoint &point)
{
    const QRect card = cardRect(cell);
    for (const ButtonLook &look : buttonsFromRight) {
        if (buttonRect(look.button, card).contains(point))
            return look.button;
    }
    return std::nullopt;
}

bool AutoPlaylistGeneratedRowView::isOnControl(const QRect &cell, const QPoint &point)
{
    return buttonAt(cell, point) || handleRect(cardRect(cell)).contains(point);
}

QString AutoPlaylistGeneratedRowView::toolTip(Button button)
{
    return QString::fromUtf8(lookOf(button).tip);
}

QString AutoPlaylistGeneratedRowView::tagsLine(const SongRecord &entry)
{
    QStringList parts;
    for (const QString *field : {&entry.genre, &entry.style, &entry.tempo}) {
        if (!field->isEmpty())
            parts.append(*field);
    }
    // A rating that is not a number shows no stars, as if there were none.
    if (const auto rating = TextUtils::finiteRating(entry.rating)) {
        const int filled = int(std::clamp<double>(std::round(*rating), 0, 5));
        parts.append(QString(filled, QChar(0x2605)) + QString(5 - filled, QChar(0x2606)));
    }
    return QStringLiteral("Tags: %1")
        .arg(parts.isEmpty() ? QStringLiteral("—") : parts.join(QStringLiteral(" • ")));
}

QSize AutoPlaylistGeneratedRowView::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return {320, rowHeight};
}

void AutoPlaylistGeneratedRowView::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                         const QModelIndex &index) const
{
    const auto *model = qobject_cast<const GeneratedTitlesModel *>(index.model());
    const SongRecord *entry = model ? model->entry(index.row()) : nullptr;
    if (!entry)
        return;
    const bool selected = option.state & QStyle::State_Selected;
    const bool pressing = index.row() == m_pressedRow;
    const bool hovering = option.state & QStyle::State_MouseOver;
    const QRect card = cardRect(option.rect);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // Under the pointer the card lifts; pressed it sinks and shrinks a little about its middle.
    if (pressing) {
        const QPointF middle = QRectF(card).center();
        painter->translate(middle + QPointF(0, 2));
        painter->scale(0.985, 0.985);
        painter->translate(-middle);
    } else if (hovering) {
        painter->translate(0, -0.6);
    }
    paintCard(painter, QRectF(card), selected, hovering, pressing);
    paintTexts(painter, card, *entry);
    paintButtons(painter, card);
    painter->restore();
}

void AutoPlaylistGeneratedRowView::paintCard(QPainter *painter, const QRectF &card, bool selected,
                                             bool hovering, bool pressing) const
{
    qreal borderWidth = selected ? 2.8 : 1.6;
    QColor border = selected ? amber() : grey(0.58f, 0.62f);
    QColor fill = selected ? QColor::fromRgbF(1, 0.93f, 0.76f, 0.98f) : grey(0.98f, 0.96f);
    qreal shadowOpacity = selected ? 0.32 : 0.18;
    qreal shadowRadius = selected ? 8 : 6;
    if (pressing) {
        shadowOpacity = 0.2;
        shadowRadius = 3;
        if (!selected)
            fill = QColor::fromRgbF(0.89f, 0.91f, 0.94f);
    } else if (hovering) {
        borderWidth = selected ? 2.8 : 2.0;
        border = selected ? amber() : QColor::fromRgbF(0.42f, 0.52f, 0.66f, 0.92f);
        shadowOpacity = 0.38;
        shadowRadius = 10;
        if (!selected)
            fill = Qt::white;
    }

    // A soft shadow below the card: rings fading outwards, 1.5 units down.
    const int rings = int(std::ceil(shadowRadius / 2));
    for (int ring = rings; ring >= 1; --ring) {
        const qreal spread = ring * shadowRadius / rings / 2;
        QPainterPath shadow;
        shadow.addRoundedRect(card.adjusted(-spread, -spread + 1.5, spread, spread + 1.5), 12 + spread,
                              12 + spread);
        painter->fillPath(shadow, QColor::fromRgbF(0, 0, 0, float(shadowOpacity / (rings + 1) / 1.5)));
    }
    QPainterPath body;
    body.addRoundedRect(card.adjusted(borderWidth / 2, borderWidth / 2, -borderWidth / 2, -borderWidth / 2),
                        12, 12);
    painter->fillPath(body, fill);
    painter->setPen(QPen(border, borderWidth));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(body);
}

void AutoPlaylistGeneratedRowView::paintTexts(QPainter *painter, const QRect &card,
                                              const SongRecord &entry) const
{
    painter->setPen(grey(0.25f));
    painter->setFont(pixelFont(14, QFont::DemiBold));
    painter->drawText(handleRect(card), Qt::AlignCenter, QStringLiteral("≡"));

    const int left = textLeft(card);
    const int width = std::max(textRight(card) - left, 0);
    int top = card.top() + 8;
    const auto line = [&](const QString &text, const QFont &font, const QColor &colour,
                          Qt::TextElideMode elide) {
        const QFontMetrics metrics(font);
        painter->setFont(font);
        painter->setPen(colour);
        painter->drawText(QRect(left, top, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          metrics.elidedText(text, elide, width));
        top += metrics.height() + 1;
    };
    line(entry.title.toUpper(), pixelFont(12, QFont::Bold), Qt::black, Qt::ElideRight);
    line(entry.pdfFileName, pixelFont(11), grey(0.25f), Qt::ElideMiddle);
    line(tagsLine(entry), pixelFont(10), grey(0.25f), Qt::ElideRight);
}

void AutoPlaylistGeneratedRowView::paintButtons(QPainter *painter, const QRect &card) const
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1;
    for (const ButtonLook &look : buttonsFromRight) {
        const QPixmap &picture = icon(look.button, ratio);
        if (picture.isNull())
            continue;
        const QRectF place = buttonRect(look.button, card);
        const QSizeF size = picture.deviceIndependentSize();
        painter->drawPixmap(
            QPointF(place.center().x() - size.width() / 2, place.center().y() - size.height() / 2), picture);
    }
}

const QPixmap &AutoPlaylistGeneratedRowView::icon(Button button, qreal devicePixelRatio) const
{
    const ButtonLook &look = lookOf(button);
    const QString key = QString::fromUtf8(look.image) + QLatin1Char('@') + QString::number(devicePixelRatio);
    auto cached = m_icons.constFind(key);
    if (cached == m_icons.cend()) {
        const QImage picture = LyrafoldUIAssets::image(QString::fromUtf8(look.image));
        cached = m_icons.insert(
            key, QPixmap::fromImage(LyrafoldUIAssets::scaledDown(picture, look.maxSide, devicePixelRatio)));
    }
    return *cached;
}

bool AutoPlaylistGeneratedRowView::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                             const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (const auto button = buttonAt(option.rect, event->pos())) {
        QToolTip::showText(event->globalPos(), toolTip(*button), view,
                           buttonRect(*button, cardRect(option.rect)));
        return true;
    }
    QToolTip::hideText();
    return true;
}

#include "ui/workshop/WorkshopGridItemDelegate.h"

#include "ui/services/LyrafoldLanguageService.h"
#include "ui/workshop/WorkshopGridModel.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace {

constexpr int thumbnailHeight = 100;
constexpr int titleLines = 3;

const QColor panelFill = QColor::fromRgbF(0.11f, 0.12f, 0.14f, 0.72f);
const QColor panelBorder = QColor::fromRgbF(1, 1, 1, 0.22f);
const QColor labelColour = QColor::fromRgbF(1, 1, 1, 0.88f);
const QColor secondaryColour = QColor::fromRgbF(1, 1, 1, 0.55f);
const QColor tertiaryColour = QColor::fromRgbF(1, 1, 1, 0.28f);
const QColor selectionBlue = QColor(10, 132, 255);

QFont pixelFont(int pixels, QFont::Weight weight)
{
    QFont font;
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

// The first lines of text that fit the width, the last one elided when more would follow.
QStringList wrappedLines(const QString &text, const QFont &font, int width, int maxLines)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    const QFontMetrics metrics(font);
    while (lines.size() < maxLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            lines.append(metrics.elidedText(text.mid(line.textStart()), Qt::ElideRight, width));
            break;
        }
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

} // namespace

WorkshopGridItemDelegate::WorkshopGridItemDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

QRect WorkshopGridItemDelegate::cellRect(const QRect &itemRect)
{
    return QRect(itemRect.x() + (itemRect.width() - cellSize.width()) / 2, itemRect.y(), cellSize.width(),
                 cellSize.height());
}

QRect WorkshopGridItemDelegate::thumbnailRect(const QRect &itemRect)
{
    const QRect cell = cellRect(itemRect);
    return QRect(cell.x() + 8, cell.y() + 8, cell.width() - 16, thumbnailHeight);
}

QString WorkshopGridItemDelegate::relinkText()
{
    return LyrafoldLanguageService::localized(QStringLiteral("Relink PDF..."));
}

QRect WorkshopGridItemDelegate::relinkButtonRect(const QRect &itemRect)
{
    const QRect cell = cellRect(itemRect);
    const int width = cell.width() - 12;
    // A text too long for one line (Turkish) gets two.
    const bool oneLine =
        QFontMetrics(pixelFont(10, QFont::DemiBold)).horizontalAdvance(relinkText()) <= width - 6;
    const int height = oneLine ? 20 : 30;
    return QRect(cell.x() + 6, cell.bottom() - 4 - height + 1, width, height);
}

QString WorkshopGridItemDelegate::pageText(qint64 pageCount)
{
    return pageCount < 1 ? QStringLiteral("—") : QStringLiteral("%1 pp").arg(pageCount);
}

bool WorkshopGridItemDelegate::showsRelink(const QModelIndex &index) const
{
    const auto *model = qobject_cast<const WorkshopGridModel *>(index.model());
    const WorkshopSlotBook *book = model ? model->book(index.row()) : nullptr;
    return m_allowRelink && book && !book->isAvailable;
}

QSize WorkshopGridItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return cellSize;
}

void WorkshopGridItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    const auto *model = qobject_cast<const WorkshopGridModel *>(index.model());
    const WorkshopSlotBook *book = model ? model->book(index.row()) : nullptr;
    if (!book)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF cell = QRectF(cellRect(option.rect)).adjusted(0.5, 0.5, -0.5, -0.5);
    painter->setPen(QPen(panelBorder, 1));
    painter->setBrush(panelFill);
    painter->drawRoundedRect(cell, 8, 8);

    // The cover, dimmed with its white ground when the PDF is missing.
    const QRect thumb = thumbnailRect(option.rect);
    painter->setOpacity(book->isAvailable ? 1.0 : 0.35);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor::fromRgbF(0.95f, 0.95f, 0.95f));
    painter->drawRoundedRect(thumb, 4, 4);
    const QPixmap cover = index.data(Qt::DecorationRole).value<QPixmap>();
    if (!cover.isNull()) {
        const QSizeF drawn = (cover.deviceIndependentSize()).scaled(thumb.size(), Qt::KeepAspectRatio);
        const QRectF target(thumb.x() + (thumb.width() - drawn.width()) / 2,
                            thumb.y() + (thumb.height() - drawn.height()) / 2, drawn.width(), drawn.height());
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(thumb), 4, 4);
        painter->setClipPath(rounded);
        painter->drawPixmap(target, cover, QRectF(cover.rect()));
        painter->setClipping(false);
    }
    painter->setOpacity(1.0);

    const bool relink = showsRelink(index);
    if (m_showText) {
        const QFont titleFont = pixelFont(10, QFont::Medium);
        const QFont pageFont = [] {
            QFont font = pixelFont(9, QFont::Normal);
            font.setStyleHint(QFont::Monospace);
            font.setFamily(QStringLiteral("monospace"));
            return font;
        }();
        const QFontMetrics titleMetrics(titleFont);
        const QFontMetrics pageMetrics(pageFont);
        const int left = int(cell.x()) + 6;
        const int width = int(cell.width()) - 12;
        const int top = thumb.bottom() + 1 + 6;
        const int bottom = relink ? relinkButtonRect(option.rect).top() - 2 : int(cell.bottom()) - 6;
        const int room = bottom - top - 2 - pageMetrics.height();
        const int lines = std::clamp(room / titleMetrics.lineSpacing(), 1, titleLines);
        const QStringList title = wrappedLines(book->slotPdfFileName, titleFont, width, lines);
        painter->setFont(titleFont);
        painter->setPen(book->isAvailable ? labelColour : tertiaryColour);
        int y = top;
        for (const QString &line : title) {
            painter->drawText(QRect(left, y, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignTop,
                              line);
            y += titleMetrics.lineSpacing();
        }
        painter->setFont(pageFont);
        painter->setPen(book->isAvailable ? secondaryColour : tertiaryColour);
        painter->drawText(QRect(left, y + 2, width, pageMetrics.height()), Qt::AlignLeft | Qt::AlignTop,
                          pageText(book->pageCount));
    }
    if (relink) {
        const QRect button = relinkButtonRect(option.rect);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor::fromRgbF(1, 1, 1, 0.12f));
        painter->drawRoundedRect(button, 6, 6);
        const bool oneLine = button.height() == 20;
        painter->setFont(pixelFont(oneLine ? 10 : 9, QFont::DemiBold));
        painter->setPen(Qt::white);
        painter->drawText(button.adjusted(3, 0, -3, 0), Qt::AlignCenter | Qt::TextWordWrap, relinkText());
    }
    if (option.state & QStyle::State_Selected) {
        painter->setPen(QPen(selectionBlue, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(cellRect(option.rect)).adjusted(1, 1, -1, -1), 8, 8);
    }
    painter->restore();
}

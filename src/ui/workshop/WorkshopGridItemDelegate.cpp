#include "ui/workshop/WorkshopGridItemDelegate.h"

#include "ui/common/LyrafoldTheme.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/workshop/WorkshopGridModel.h"

#include <QHash>
#include <QPainter>
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

// The fonts of a cell, made once: a grid paints dozens of cells at every scroll step.
struct CellFonts {
    QFont title = pixelFont(10, QFont::Medium);
    QFont pages = [] {
        QFont font = pixelFont(9, QFont::Normal);
        font.setStyleHint(QFont::Monospace);
        font.setFamily(QStringLiteral("monospace"));
        return font;
    }();
    QFont relink = pixelFont(10, QFont::DemiBold);
    QFont relinkSmall = pixelFont(9, QFont::DemiBold);
    QFontMetrics titleMetrics{title};
    QFontMetrics pageMetrics{pages};
};

const CellFonts &cellFonts()
{
    static const CellFonts fonts;
    return fonts;
}

enum class Chrome { panel, thumbnailGround, selectionFrame };

// The rounded shapes every cell draws, drawn once: an antialiased outline costs more than the rest of
// a cell together.
const QPixmap &chrome(Chrome kind, qreal ratio)
{
    static QHash<std::pair<int, qreal>, QPixmap> made;
    const std::pair<int, qreal> key{int(kind), ratio};
    if (const auto found = made.constFind(key); found != made.constEnd())
        return *found;
    const QSize size =
        kind == Chrome::thumbnailGround
            ? WorkshopGridItemDelegate::thumbnailRect(QRect(QPoint(), WorkshopGridItemDelegate::cellSize))
                  .size()
            : WorkshopGridItemDelegate::cellSize;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(0, 0, size.width(), size.height());
    switch (kind) {
    case Chrome::panel:
        painter.setPen(QPen(panelBorder, 1));
        painter.setBrush(panelFill);
        painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        break;
    case Chrome::thumbnailGround:
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(0.95f, 0.95f, 0.95f));
        painter.drawRoundedRect(area, 4, 4);
        break;
    case Chrome::selectionFrame:
        painter.setPen(QPen(selectionBlue, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), 8, 8);
        break;
    }
    painter.end();
    return *made.insert(key, pixmap);
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
    // A text too long for one line (Turkish) gets two. Asked at every paint and press: measured once
    // per text.
    static QHash<QString, bool> oneLineTexts;
    const QString text = relinkText();
    auto oneLine = oneLineTexts.constFind(text);
    if (oneLine == oneLineTexts.constEnd())
        oneLine =
            oneLineTexts.insert(text, QFontMetrics(cellFonts().relink).horizontalAdvance(text) <= width - 6);
    const int height = *oneLine ? 20 : 30;
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
    const QRect cell = cellRect(option.rect);
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(cell.topLeft(), chrome(Chrome::panel, ratio));

    // The cover, dimmed with its white ground when the PDF is missing.
    const QRect thumb = thumbnailRect(option.rect);
    painter->setOpacity(book->isAvailable ? 1.0 : 0.35);
    painter->drawPixmap(thumb.topLeft(), chrome(Chrome::thumbnailGround, ratio));
    const QPixmap cover = index.data(Qt::DecorationRole).value<QPixmap>();
    if (!cover.isNull()) {
        const QSizeF drawn = (cover.deviceIndependentSize()).scaled(thumb.size(), Qt::KeepAspectRatio);
        const QRectF target(thumb.x() + (thumb.width() - drawn.width()) / 2,
                            thumb.y() + (thumb.height() - drawn.height()) / 2, drawn.width(), drawn.height());
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawPixmap(target, cover, QRectF(cover.rect()));
    }
    painter->setOpacity(1.0);

    const bool relink = showsRelink(index);
    if (m_showText) {
        const CellFonts &fonts = cellFonts();
        const int left = cell.x() + 6;
        const int width = cell.width() - 12;
        const int top = thumb.bottom() + 1 + 6;
        const int bottom = relink ? relinkButtonRect(option.rect).top() - 2 : cell.bottom() - 6;
        // Where a two-line relink button leaves room for the name alone, the name stays.
        const int pagesHeight = 2 + fonts.pageMetrics.height();
        const bool showPages = bottom - top >= fonts.titleMetrics.lineSpacing() + pagesHeight;
        const int room = bottom - top - (showPages ? pagesHeight : 0);
        const int lines = std::clamp(room / fonts.titleMetrics.lineSpacing(), 1, titleLines);
        const QString key = book->slotPdfFileName + QLatin1Char('\n') + QString::number(lines);
        auto title = m_titleLines.constFind(key);
        if (title == m_titleLines.constEnd()) {
            if (m_titleLines.size() > 10000)
                m_titleLines.clear();
            title = m_titleLines.insert(key, wrappedLines(book->slotPdfFileName, fonts.title, width, lines));
        }
        painter->setFont(fonts.title);
        painter->setPen(book->isAvailable ? labelColour : tertiaryColour);
        int y = top;
        // Drawn at their baselines: the lines are laid out already.
        for (const QString &line : *title) {
            painter->drawText(QPoint(left, y + fonts.titleMetrics.ascent()), line);
            y += fonts.titleMetrics.lineSpacing();
        }
        if (showPages) {
            painter->setFont(fonts.pages);
            painter->setPen(book->isAvailable ? secondaryColour : tertiaryColour);
            painter->drawText(QPoint(left, y + 2 + fonts.pageMetrics.ascent()), pageText(book->pageCount));
        }
    }
    if (relink) {
        const QRect button = relinkButtonRect(option.rect);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor::fromRgbF(1, 1, 1, 0.12f));
        painter->drawRoundedRect(button, 6, 6);
        const bool oneLine = button.height() == 20;
        painter->setFont(oneLine ? cellFonts().relink : cellFonts().relinkSmall);
        painter->setPen(Qt::white);
        painter->drawText(button.adjusted(3, 0, -3, 0), Qt::AlignCenter | Qt::TextWordWrap, relinkText());
    }
    if (option.state & QStyle::State_Selected)
        painter->drawPixmap(cell.topLeft(), chrome(Chrome::selectionFrame, ratio));
    // The keyboard's current cell, which Return opens or relinks.
    if (option.state & QStyle::State_HasFocus) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(LyrafoldTheme::focusRing(), 2));
        painter->drawRoundedRect(QRectF(cell).adjusted(2, 2, -2, -2), 6, 6);
    }
    painter->restore();
}

#include "ui/mainwindow/BookmarkTableDelegate.h"

#include "core/bookmarks/LibraryColumns.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/LyrafoldUIAssets.h"
#include "ui/mainwindow/BookmarkTableModel.h"
#include "ui/mainwindow/BookmarkTableView.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

QString columnOf(const QModelIndex &index)
{
    return index.data(BookmarkTableModel::columnIdentifierRole).toString();
}

bool isButtonColumn(const QString &column)
{
    return column == LibraryColumns::add || column == LibraryColumns::share;
}

QFont glyphFont()
{
    QFont font;
    font.setPixelSize(15);
    font.setWeight(QFont::DemiBold);
    return font;
}

QColor tintFor(bool selected)
{
    return selected ? QColor(Qt::white) : QColor::fromRgbF(0.94f, 0.94f, 0.94f, 1);
}

// The field of an editable cell: leading and trailing 4 units in, centred, at most the cell's height
// less 2 units at top and bottom.
QRect fieldRect(const QRect &cell, int textHeight)
{
    const int height = qMin(textHeight + 6, cell.height() - 4);
    return QRect(cell.left() + 4, cell.top() + (cell.height() - height) / 2, cell.width() - 8, height);
}

} // namespace

BookmarkTableDelegate::BookmarkTableDelegate(BookmarkTableView *table)
    : QStyledItemDelegate(table), m_table(table)
{
}

QRect BookmarkTableDelegate::rowButtonRect(const QString &column, const QRect &cell)
{
    int side = 0;
    if (column == LibraryColumns::add)
        side = 22;
    else if (column == LibraryColumns::share)
        side = 28;
    if (side == 0)
        return {};
    side = qMin(side, qMin(cell.width(), cell.height()));
    return QRect(cell.left() + (cell.width() - side) / 2, cell.top() + (cell.height() - side) / 2, side,
                 side);
}

QColor BookmarkTableDelegate::textColour(const QString &column, bool selected)
{
    if (selected)
        return Qt::white;
    const float grey = column == LibraryColumns::title ? 0.94f : 0.82f;
    return QColor::fromRgbF(grey, grey, grey, 1);
}

void BookmarkTableDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const BookmarkTableRowView rowView = m_table->rowView(index.row());
    const BookmarkTableRowView::Look look = rowView.look();
    const QString column = columnOf(index);
    painter->save();
    painter->fillRect(option.rect, rowView.background());
    if (look.scale != 1 || look.translateY != 0 || look.alpha != 1) {
        // The row moves as one piece: every cell scales about the middle of the row.
        const QPointF middle(m_table->viewport()->width() / 2.0, option.rect.center().y() + 0.5);
        painter->translate(middle + QPointF(0, look.translateY));
        painter->scale(look.scale, look.scale);
        painter->translate(-middle);
        painter->setOpacity(look.alpha);
    }
    if (look.shadowOpacity > 0)
        painter->fillRect(QRect(option.rect.left(), option.rect.bottom(), option.rect.width(), 1),
                          QColor::fromRgbF(0, 0, 0, float(look.shadowOpacity)));
    const bool buttonCell = isButtonColumn(column);
    if (buttonCell)
        paintRowButton(painter, option.rect, column, rowView.selected);
    else
        paintText(painter, option, index, column, rowView.selected);
    // The keyboard's current cell, ringed: around its button (Space presses it), or around the cell.
    // White on the blue of a selected row.
    if (option.state & QStyle::State_HasFocus) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(rowView.selected ? QColor(Qt::white) : LyrafoldTheme::focusRing(), 2));
        if (buttonCell)
            painter->drawRoundedRect(QRectF(rowButtonRect(column, option.rect)).adjusted(1, 1, -1, -1), 5, 5);
        else
            painter->drawRoundedRect(QRectF(option.rect).adjusted(1, 1, -1, -1), 3, 3);
    }
    painter->restore();
}

void BookmarkTableDelegate::paintRowButton(QPainter *painter, const QRect &cell, const QString &column,
                                           bool selected) const
{
    const QRect button = rowButtonRect(column, cell);
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath bezel;
    bezel.addRoundedRect(QRectF(button).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    painter->fillPath(bezel, QColor::fromRgbF(1, 1, 1, selected ? 0.22f : 0.12f));
    const QPixmap &glyph = buttonGlyph(column, selected, painter->device()->devicePixelRatioF());
    if (!glyph.isNull()) {
        const QSizeF size = glyph.deviceIndependentSize();
        painter->drawPixmap(
            QPointF(button.center().x() + 1 - size.width() / 2, button.center().y() + 1 - size.height() / 2),
            glyph);
        return;
    }
    // No symbol: the button shows its fallback title.
    painter->setFont(glyphFont());
    painter->setPen(tintFor(selected));
    painter->drawText(button, Qt::AlignCenter,
                      column == LibraryColumns::add ? QStringLiteral("+") : QStringLiteral("Share"));
}

const QPixmap &BookmarkTableDelegate::buttonGlyph(const QString &column, bool selected, qreal dpr) const
{
    const QString key =
        column + (selected ? QStringLiteral("/on/") : QStringLiteral("/off/")) + QString::number(dpr);
    auto cached = m_glyphs.constFind(key);
    if (cached != m_glyphs.cend())
        return *cached;
    const QIcon symbol = LyrafoldUIAssets::systemSymbol(
        column == LibraryColumns::add ? QStringLiteral("plus") : QStringLiteral("square.and.arrow.up"));
    QPixmap glyph;
    if (!symbol.isNull()) {
        const int side = column == LibraryColumns::add ? 14 : 16;
        glyph = symbol.pixmap(QSize(side, side), dpr);
        // Tinted like the text, whatever colour the symbol was drawn in.
        QPainter tint(&glyph);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(QRect(QPoint(), glyph.size()), tintFor(selected));
    }
    return *m_glyphs.insert(key, glyph);
}

void BookmarkTableDelegate::paintText(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index, const QString &column, bool selected) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const auto *model = qobject_cast<const BookmarkTableModel *>(index.model());
    const bool editable = model && model->isCellEditable(index);
    painter->setFont(option.font);
    const QFontMetrics metrics(option.font);
    QRect textRect = option.rect.adjusted(4, 0, -4, 0);
    if (editable) {
        // An open field: white, bordered, black text, whatever the row's state.
        const QRect field = fieldRect(option.rect, metrics.height());
        painter->fillRect(field, Qt::white);
        painter->setPen(QColor::fromRgbF(0, 0, 0, 0.35f));
        painter->drawRect(QRectF(field).adjusted(0.5, 0.5, -0.5, -0.5));
        painter->setPen(Qt::black);
        textRect = field.adjusted(3, 0, -3, 0);
    } else {
        painter->setPen(textColour(column, selected));
    }
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(text, Qt::ElideRight, textRect.width()));
}

QWidget *BookmarkTableDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                             const QModelIndex &index) const
{
    const QString column = columnOf(index);
    auto *field = new QLineEdit(parent);
    // The field carries its column, so the end of the edit knows what was edited.
    field->setObjectName(column);
    field->setFrame(true);
    field->setStyleSheet(QStringLiteral("QLineEdit { background: white; color: black; }"));
    connect(field, &QObject::destroyed, this, [this] { Q_EMIT editingEnded(); });
    m_openField = field;
    Q_EMIT editingBegan(index.row(), column);
    return field;
}

void BookmarkTableDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    // What is typed is the user's until the edit ends; Return then gives it to the rows as they are.
    if (const auto *field = qobject_cast<QLineEdit *>(editor); field && field->isModified())
        return;
    QStyledItemDelegate::setEditorData(editor, index);
}

void BookmarkTableDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                                 const QModelIndex &) const
{
    editor->setGeometry(fieldRect(option.rect, editor->fontMetrics().height()));
}

bool BookmarkTableDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                        const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const QString column = columnOf(index);
    if (!isButtonColumn(column))
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto *mouse = dynamic_cast<QMouseEvent *>(event);
    if (!mouse || mouse->button() != Qt::LeftButton)
        return false;
    const bool onButton = rowButtonRect(column, option.rect).contains(mouse->position().toPoint());
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressedButton = onButton ? QPersistentModelIndex(index) : QPersistentModelIndex();
        return false; // the press still selects the row
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const bool clicked = onButton && m_pressedButton == index;
        m_pressedButton = QPersistentModelIndex();
        if (clicked)
            Q_EMIT rowButtonClicked(column, index.row());
        return clicked;
    }
    return false;
}

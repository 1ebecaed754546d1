#include "ui/mainwindow/BookmarkTableModel.h"

#include "core/bookmarks/LibraryColumns.h"
#include "core/session/LibraryShownRows.h"
#include "ui/services/LyrafoldLanguageService.h"

BookmarkTableModel::BookmarkTableModel(const LibraryShownRows *rows, QObject *parent)
    : QAbstractTableModel(parent), m_rows(rows)
{
}

QString BookmarkTableModel::columnIdentifier(int column)
{
    return LibraryColumns::identifiers().value(column);
}

int BookmarkTableModel::columnOf(const QString &identifier)
{
    return int(LibraryColumns::identifiers().indexOf(identifier));
}

bool BookmarkTableModel::isCellEditable(const QModelIndex &index) const
{
    return index.isValid() && LibraryColumns::editableColumns().contains(columnIdentifier(index.column())) &&
           m_editRule && m_editRule();
}

int BookmarkTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows->displayedRowCount();
}

int BookmarkTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(LibraryColumns::identifiers().size());
}

QVariant BookmarkTableModel::data(const QModelIndex &index, int role) const
{
    const BookmarkEntry *entry = index.isValid() ? m_rows->displayedBookmark(index.row()) : nullptr;
    if (!entry)
        return {};
    const QString column = columnIdentifier(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return LibraryColumns::text(*entry, column);
    case Qt::ToolTipRole:
        // Looked up each time, so a language switch reaches the buttons at once.
        if (column == LibraryColumns::add)
            return LyrafoldLanguageService::localized(QStringLiteral("Add to playlist"));
        if (column == LibraryColumns::share)
            return LyrafoldLanguageService::localized(QStringLiteral("Share this title (PDF or JPEG)"));
        return {};
    case columnIdentifierRole:
        return column;
    default:
        return {};
    }
}

QVariant BookmarkTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return LyrafoldLanguageService::localized(columnIdentifier(section));
    case columnIdentifierRole:
        return columnIdentifier(section);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

Qt::ItemFlags BookmarkTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isCellEditable(index))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool BookmarkTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !isCellEditable(index) || index.row() >= rowCount())
        return false;
    if (m_cellEdited)
        m_cellEdited(index.row(), columnIdentifier(index.column()), value.toString());
    return true;
}

void BookmarkTableModel::reload()
{
    beginResetModel();
    m_shownPositions = m_rows->filteredPositions();
    endResetModel();
}

void BookmarkTableModel::refresh()
{
    if (m_rows->filteredPositions() != m_shownPositions) {
        reload();
        return;
    }
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void BookmarkTableModel::retranslateHeaders()
{
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

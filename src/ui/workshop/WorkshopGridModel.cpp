#include "ui/workshop/WorkshopGridModel.h"

#include "ui/common/CoverThumbnailLoader.h"

#include <QPixmap>

WorkshopGridModel::WorkshopGridModel(const CoverThumbnailLoader &covers, QObject *parent)
    : QAbstractListModel(parent), m_covers(covers)
{
}

void WorkshopGridModel::setBooks(QList<WorkshopSlotBook> books)
{
    const bool sameBooks = std::equal(books.cbegin(), books.cend(), m_books.cbegin(), m_books.cend(),
                                      [](const WorkshopSlotBook &a, const WorkshopSlotBook &b) {
                                          return a.slotPdfFileName == b.slotPdfFileName;
                                      });
    if (!sameBooks)
        beginResetModel();
    m_books = std::move(books);
    m_rowsOfPath.clear();
    for (int row = 0; row < m_books.size(); ++row) {
        if (m_books.at(row).resolvedPath)
            m_rowsOfPath[*m_books.at(row).resolvedPath].append(row);
    }
    if (!sameBooks)
        endResetModel();
    else if (!m_books.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_books.size()) - 1));
}

const WorkshopSlotBook *WorkshopGridModel::book(int row) const
{
    return row >= 0 && row < m_books.size() ? &m_books.at(row) : nullptr;
}

int WorkshopGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_books.size());
}

QVariant WorkshopGridModel::data(const QModelIndex &index, int role) const
{
    const WorkshopSlotBook *shown = book(index.row());
    if (!shown)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return shown->slotPdfFileName;
    case Qt::DecorationRole:
        return shown->resolvedPath ? m_covers.cached(*shown->resolvedPath, shown->modified) : QPixmap();
    default:
        return {};
    }
}

void WorkshopGridModel::coverArrived(const QString &path)
{
    for (const int row : m_rowsOfPath.value(path))
        Q_EMIT dataChanged(index(row), index(row), {Qt::DecorationRole});
}

#include "ui/autoplaylist/GeneratedTitlesModel.h"

#include "core/autoplaylist/GeneratedPlaylist.h"
#include "core/text/TextUtils.h"

#include <QMimeData>

GeneratedTitlesModel::GeneratedTitlesModel(GeneratedPlaylist &playlist, QObject *parent)
    : QAbstractListModel(parent), m_playlist(playlist)
{
}

const BookmarkEntry *GeneratedTitlesModel::entry(int row) const
{
    const BookmarkList &entries = m_playlist.entries();
    return row >= 0 && row < entries.size() ? &entries[row] : nullptr;
}

void GeneratedTitlesModel::listReplaced()
{
    beginResetModel();
    endResetModel();
}

bool GeneratedTitlesModel::removeTitle(int row)
{
    if (!entry(row))
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_playlist.remove(row);
    endRemoveRows();
    return true;
}

void GeneratedTitlesModel::rowReplaced(int row)
{
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed);
}

QMimeData *GeneratedTitlesModel::rowMimeData(int row)
{
    auto *data = new QMimeData;
    data->setData(rowMimeType, QByteArray::number(row));
    return data;
}

int GeneratedTitlesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_playlist.entries().size());
}

QVariant GeneratedTitlesModel::data(const QModelIndex &index, int role) const
{
    const BookmarkEntry *found = entry(index.row());
    if (!found || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return found->title;
}

Qt::ItemFlags GeneratedTitlesModel::flags(const QModelIndex &index) const
{
    // Titles go between rows, never onto one.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList GeneratedTitlesModel::mimeTypes() const
{
    return {rowMimeType};
}

Qt::DropActions GeneratedTitlesModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

bool GeneratedTitlesModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                                           const QModelIndex &) const
{
    return data && data->hasFormat(rowMimeType);
}

bool GeneratedTitlesModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int,
                                        const QModelIndex &)
{
    if (!data || action != Qt::MoveAction)
        return false;
    const auto source = TextUtils::wholeNumber(QString::fromUtf8(data->data(rowMimeType)));
    const qsizetype count = m_playlist.entries().size();
    if (!source || *source < 0 || *source >= count)
        return false;
    const qsizetype dropRow = row < 0 ? count : row;
    const int from = int(*source);
    const int to = int(GeneratedPlaylist::moveTarget(from, dropRow, count));
    if (to != from)
        beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    m_playlist.move(from, dropRow);
    if (to != from)
        endMoveRows();
    Q_EMIT titleMoved(to);
    return true;
}

#include "ui/playlists/PlaylistListModels.h"

#include "core/playlist/PlaylistRows.h"

PlaylistNamesModel::PlaylistNamesModel(const PlaylistLibrary &library, QObject *parent)
    : QAbstractListModel(parent), m_library(library)
{
}

int PlaylistNamesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_library.count());
}

QVariant PlaylistNamesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_library.count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_library.playlists().at(index.row()).name;
    return {};
}

void PlaylistNamesModel::refresh(const PlaylistChange &change)
{
    // Titles changing leave the rows as they are; only a merge may have given one a new name.
    if (change.kind == PlaylistChange::Kind::itemsChanged) {
        for (const qsizetype row : change.playlists) {
            if (row < m_library.count())
                Q_EMIT dataChanged(index(int(row)), index(int(row)));
        }
        return;
    }
    beginResetModel();
    endResetModel();
}

PlaylistTitlesModel::PlaylistTitlesModel(const PlaylistLibrary &library, QObject *parent)
    : QAbstractListModel(parent), m_library(library)
{
}

const QList<PlaylistItem> &PlaylistTitlesModel::items() const
{
    return m_items;
}

const PlaylistItem *PlaylistTitlesModel::item(int row) const
{
    const QList<PlaylistItem> &list = items();
    return row >= 0 && row < list.size() ? &list.at(row) : nullptr;
}

int PlaylistTitlesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(items().size());
}

QVariant PlaylistTitlesModel::data(const QModelIndex &index, int role) const
{
    const PlaylistItem *title = index.isValid() ? item(index.row()) : nullptr;
    if (!title)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return title->title;
    case subtitleRole:
        return PlaylistRows::subtitle(*title);
    default:
        return {};
    }
}

void PlaylistTitlesModel::setPlaylist(qsizetype playlist)
{
    beginResetModel();
    m_playlist = playlist >= 0 && playlist < m_library.count() ? playlist : -1;
    m_items = m_playlist >= 0 ? m_library.playlists().at(m_playlist).items : QList<PlaylistItem>();
    endResetModel();
}

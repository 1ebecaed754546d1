#pragma once

#include "core/playlist/PlaylistLibrary.h"

#include <QAbstractListModel>

// The playlists window's two lists over the application's PlaylistLibrary. The window tells them when
// the playlists change (before it selects again), so what they show never lags behind the library.

// One row per playlist, by name.
class PlaylistNamesModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit PlaylistNamesModel(const PlaylistLibrary &library, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void refresh(const PlaylistChange &change);

private:
    const PlaylistLibrary &m_library;
};

// One row per title of one playlist; none while no playlist is shown. The titles are those the
// playlist held when it was last shown, until the window shows it anew.
class PlaylistTitlesModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { subtitleRole = Qt::UserRole + 1 };

    explicit PlaylistTitlesModel(const PlaylistLibrary &library, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The playlist shown (a position in the library), -1 for none. Setting it shows its titles anew.
    qsizetype playlist() const { return m_playlist; }
    void setPlaylist(qsizetype playlist);
    // The shown playlist's titles changed.
    void refresh() { setPlaylist(m_playlist); }

    const QList<PlaylistItem> &items() const;
    const PlaylistItem *item(int row) const;

private:
    const PlaylistLibrary &m_library;
    qsizetype m_playlist = -1;
    QList<PlaylistItem> m_items;
};

#pragma once

#include "core/bookmarks/BookmarkEntry.h"

#include <QAbstractListModel>

class GeneratedPlaylist;

// The generated list as the results table shows it, one row per title. Rows are dragged by their
// number under the row type below and dropped between rows; a drop moves the title in the playlist.
class GeneratedTitlesModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit GeneratedTitlesModel(GeneratedPlaylist &playlist, QObject *parent = nullptr);

    // The entry of a row; null outside the list.
    const BookmarkEntry *entry(int row) const;

    // Tell the views that the playlist was made anew, or that one row of it was replaced.
    void listReplaced();
    void rowReplaced(int row);
    // Removes the title at row from the playlist.
    bool removeTitle(int row);

    // The payload of a dragged row: its number as decimal text.
    static QMimeData *rowMimeData(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

Q_SIGNALS:
    // A drop moved a title; row is where it went.
    void titleMoved(int row);

private:
    static inline const QString rowMimeType = QStringLiteral("com.lyrafold.autoplaylist-row");
    GeneratedPlaylist &m_playlist;
};

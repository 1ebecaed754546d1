#pragma once

#include "core/bookmarks/BookmarkEntry.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QThreadPool>

// The bookmarks of a PDF being imported, one editable row each: a thumbnail of the song's page, its page
// and its title. A view asks only for the rows it shows, and only those pages are drawn, on a worker,
// so a book of any size opens at once.
class BookmarkedPdfRowsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { thumbnailColumn, pageColumn, titleColumn, columnCount_ };
    static constexpr QSize thumbnailSize{44, 56};

    BookmarkedPdfRowsModel(const QString &pdfPath, const BookmarkList &bookmarks, QObject *parent = nullptr);
    ~BookmarkedPdfRowsModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The titles as they stand, in row order.
    const QStringList &titles() const { return m_titles; }
    // Thumbnails asked for so far, for tests that wait for the first.
    qsizetype thumbnailsRequestedForTesting() const { return m_requested.size(); }

private:
    void requestThumbnail(int row) const;

    QString m_pdfPath;
    BookmarkList m_bookmarks;
    QStringList m_titles;
    mutable QHash<int, QPixmap> m_thumbnails;
    mutable QSet<int> m_requested;
    mutable QThreadPool m_pool;
};

#pragma once

#include "core/books/WorkshopBooks.h"

#include <QAbstractListModel>
#include <QHash>

class CoverThumbnailLoader;

// The books of the workshop's grid, one row each, with their covers from the loader. Showing the same
// books again (a refresh after an edit) updates the rows in place, so the selection and the scroll
// position stay; other books reset the grid.
class WorkshopGridModel : public QAbstractListModel {
    Q_OBJECT

public:
    WorkshopGridModel(const CoverThumbnailLoader &covers, QObject *parent = nullptr);

    void setBooks(QList<WorkshopSlotBook> books);
    const QList<WorkshopSlotBook> &books() const { return m_books; }
    const WorkshopSlotBook *book(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    // Display: the book's name; decoration: its cover when made (a null pixmap otherwise).
    QVariant data(const QModelIndex &index, int role) const override;

    // The cover of the file at path has arrived: its rows show it.
    void coverArrived(const QString &path);

private:
    const CoverThumbnailLoader &m_covers;
    QList<WorkshopSlotBook> m_books;
    QHash<QString, QList<int>> m_rowsOfPath;
};

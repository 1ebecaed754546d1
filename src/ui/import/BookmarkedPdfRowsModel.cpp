#include "ui/import/BookmarkedPdfRowsModel.h"

#include "core/common/Hop.h"
#include "pdf/render/LyrafoldBookmarkPdfPreview.h"

#include <QGuiApplication>
#include <QSet>

BookmarkedPdfRowsModel::BookmarkedPdfRowsModel(const QString &pdfPath, const BookmarkList &bookmarks,
                                               QObject *parent)
    : QAbstractTableModel(parent), m_pdfPath(pdfPath), m_bookmarks(bookmarks)
{
    m_titles.reserve(bookmarks.size());
    for (const BookmarkEntry &bookmark : bookmarks)
        m_titles.append(bookmark.title);
    // One book: its pages are drawn one after another anyway.
    m_pool.setMaxThreadCount(1);
}

BookmarkedPdfRowsModel::~BookmarkedPdfRowsModel()
{
    m_pool.clear();
    m_pool.waitForDone();
}

int BookmarkedPdfRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_bookmarks.size());
}

int BookmarkedPdfRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

Qt::ItemFlags BookmarkedPdfRowsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    if (index.column() == titleColumn)
        flags |= Qt::ItemIsEditable | Qt::ItemIsSelectable;
    return flags;
}

QVariant BookmarkedPdfRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_bookmarks.size())
        return {};
    const int row = index.row();
    switch (index.column()) {
    case thumbnailColumn:
        if (role == Qt::DecorationRole) {
            if (const auto found = m_thumbnails.constFind(row); found != m_thumbnails.cend())
                return found->isNull() ? QVariant() : QVariant(*found);
            requestThumbnail(row);
        }
        if (role == Qt::SizeHintRole)
            return thumbnailSize + QSize(8, 6);
        return {};
    case pageColumn:
        if (role == Qt::DisplayRole)
            return QStringLiteral("p. %1").arg(m_bookmarks.at(row).pageNumber);
        return {};
    case titleColumn:
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return m_titles.at(row);
        return {};
    default:
        return {};
    }
}

bool BookmarkedPdfRowsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != titleColumn || role != Qt::EditRole)
        return false;
    m_titles[index.row()] = value.toString();
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void BookmarkedPdfRowsModel::requestThumbnail(int row) const
{
    if (m_requested.contains(row))
        return;
    m_requested.insert(row);
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QSize pixels = thumbnailSize * ratio;
    const qint64 page = std::max<qint64>(m_bookmarks.at(row).pageNumber, 1);
    auto *self = const_cast<BookmarkedPdfRowsModel *>(this);
    Hop::run(
        self,
        [path = m_pdfPath, page, pixels] {
            return LyrafoldBookmarkPdfPreview::thumbnail(path, page, pixels);
        },
        [self, row, ratio](std::optional<QImage> image) {
            QPixmap pixmap;
            if (image) {
                pixmap = QPixmap::fromImage(*image);
                pixmap.setDevicePixelRatio(ratio);
            }
            self->m_thumbnails.insert(row, pixmap);
            const QModelIndex cell = self->index(row, thumbnailColumn);
            Q_EMIT self->dataChanged(cell, cell, {Qt::DecorationRole});
        },
        &m_pool);
}

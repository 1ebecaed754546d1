#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/bookmarks/LibraryRows.h"
#include "core/playlist/PlaylistItem.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

class SlotBookPaths;

// Finds the book of a playlist title again when the file it names is gone (a moved or renamed
// folder, a playlist from another computer): among the books of the built-in Default library, by a
// key made from the file name. Nothing is written back; the found path serves the copies handed to
// the viewer, the preview and the exports. Immutable once made, so workers may share it; resolving
// looks at files, so long lists are resolved on a worker.
class PlaylistBookPaths {
public:
    // The key a book is found by, for the tests of the rule.
    static QString bookKeyForTesting(const QString &path) { return bookKey(path); }

    // For each key the books among rows, keyed by their file names and by their paths' last parts, in
    // the order of the rows; the first of them that exists when a title is resolved is its book. Looks
    // at no file.
    static PlaylistBookPaths fromRows(const BookmarkList &rows);
    static PlaylistBookPaths fromRows(const LibraryRows &rows);
    // The same over the Default slot as stored. Reads the slot file.
    static PlaylistBookPaths fromDefaultSlot();
    // The PDFs in a folder and its subfolders, keyed by file name; the walk stops after a bound number
    // of entries (a folder such as the home folder is not searched through).
    static PlaylistBookPaths fromFolder(const QString &folder);

    // The items resolved through the Default library first, then through the books of the current
    // slot (as slotBooks keeps them) and the PDFs of its folder (a playlist received from someone who
    // keeps the same book elsewhere). The slot and folder are looked at only for items still without a
    // book.
    static QList<PlaylistItem> resolvedInLibrary(const PlaylistBookPaths &defaults, QList<PlaylistItem> items,
                                                 const LibraryRows &slotRows, const QString &slotFolder,
                                                 SlotBookPaths &slotBooks);

    qsizetype size() const { return m_pathsByKey.size(); }

    // The items as resolvedInLibrary() finds them through these books alone, for the tests of the rule.
    QList<PlaylistItem> resolvedForTesting(QList<PlaylistItem> items) const
    {
        return resolved(std::move(items));
    }

private:
    // An existing file for the item: its own path, else the book whose key is that of its file name,
    // else of its path's last part. Nothing when none exists.
    std::optional<QString> resolve(const PlaylistItem &item) const;
    // The items with each path replaced by the one resolve() finds, where it finds one.
    QList<PlaylistItem> resolved(QList<PlaylistItem> items) const;

    // The letters a to z and digits of the file name without its extension, after case and accents
    // are folded and "pdfdrive", then "pdf", are taken out: "My Book (PDFDrive).pdf" in any folder
    // gives "mybook".
    static QString bookKey(const QString &path);

    template <typename Rows> static PlaylistBookPaths fromAnyRows(const Rows &rows);
    void add(const QString &name, const QString &path);
    std::optional<QString> existingBook(const QString &name) const;

    QHash<QString, QStringList> m_pathsByKey;
};

// The Default library's books, read by whichever thread asks first, then kept: a window makes one and
// shares it with its workers.
class DefaultBookPaths {
public:
    const PlaylistBookPaths &get();

private:
    std::once_flag m_once;
    PlaylistBookPaths m_paths;
};

// The current slot's books, looked up the first time a title needs them, by whichever thread asks, and
// kept for as long as the rows stay the same (their block stamps tell): a 1,000,000-row slot is walked
// once, not at every title opened. Holds the lookup only, never the rows. A window makes one and shares
// it with its workers.
class SlotBookPaths {
public:
    std::shared_ptr<const PlaylistBookPaths> ofRows(const LibraryRows &rows);

private:
    std::mutex m_mutex;
    QList<quint64> m_stamps;
    qsizetype m_size = -1;
    std::shared_ptr<const PlaylistBookPaths> m_byRows;
};

#pragma once

#include "core/common/Result.h"
#include "core/library/BookmarkEntry.h"
#include "core/library/BookmarkMetadataField.h"
#include "core/playlist/PlaylistItem.h"
#include "core/storage/StateFile.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class LibrarySearchIndex;
struct SearchQuery;

// What the PDF viewer is opened with for one song: the book and page, the bookmark, the list to step
// through (none when the song is opened on its own), and the book's bookmarks; with the status line
// that reports it.
struct ViewerOpenRequest {
    QString pdfPath;
    qint64 pageNumber = 0;
    std::optional<BookmarkEntry> bookmarkEntry;
    std::optional<QList<PlaylistItem>> playlistItems;
    qsizetype playlistCurrentIndex = 0;
    BookmarkList sourcePdfBookmarks;
    QString statusText;
};

// The way to open a song: the viewer's request, or the path that holds no file.
struct OpenSongPlan {
    std::optional<ViewerOpenRequest> request;
    QString missingPath;
    // The song's book was found elsewhere under the library folder and its row now points there.
    bool libraryChanged = false;
};

// Rows about to be deleted, with what goes with them: the identity keys of the imported songs (their
// playlist items go too) and the imported files that nothing will use afterwards.
struct DeletionPlan {
    QList<qsizetype> positions; // descending, each once
    QSet<QString> customKeys;
    QStringList customPaths;
    QStringList filesToRemove;
    quint64 libraryVersion = 0;
};

struct DeletionResult {
    qsizetype deleted = 0;
    QStringList trashed;
    QStringList notTrashed;
};

// The library as the main window shows it: the slot in use, its rows (the library), the rows the
// search leaves in display order, and the window's PDF folder; with the operations on them that do
// not need a window: loading, switching and saving slots, the availability summary and the mapping
// of shown rows back to library positions; the search and the column sort of the shown rows. Main
// thread only.
//
// Every change of the library raises the search generation, so that no search pass begun before it
// can land afterwards with rows that are gone or stale.
//
// Saves take a snapshot of the rows and encode and write the files on a worker, so that a library
// of any size never holds up the interface; a read of any of those files waits for their writes.
class LibrarySession : public QObject {
    Q_OBJECT

public:
    // The table shows at most this many of the filtered rows; every mapping of a shown row back to a
    // bookmark applies the same cap.
    static constexpr int maxDisplayRows = 2000;
    // The first search pass ranks this many bookmarks at once, so the table answers even in a large
    // library before the full pass lands.
    static constexpr int searchFirstPassCount = 100;

    explicit LibrarySession(QObject *parent = nullptr);
    // Waits for the saves still being written.
    ~LibrarySession() override;

    qint64 currentSlotId() const { return m_currentSlotId; }
    const BookmarkList &allBookmarks() const { return m_allBookmarks; }
    const BookmarkList &filteredBookmarks() const { return m_filteredBookmarks; }
    const QString &selectedFolder() const { return m_selectedFolder; }

    // Replaces the library; the filtered rows become the whole library. Nothing is saved.
    void setAllBookmarks(BookmarkList rows);
    void setFilteredBookmarks(BookmarkList rows);
    void setSelectedFolder(const QString &folder) { m_selectedFolder = folder; }

    // min(filtered rows, maxDisplayRows); displayedBookmark() is null for a row outside them.
    int displayedRowCount() const;
    const BookmarkEntry *displayedBookmark(int row) const;

    // The slot the slot metadata names, clamped to 0-5; slot 0 without a readable metadata file.
    void restoreActiveSlot();

    enum class LoadSource { slot, cache, nothing };
    struct LoadResult {
        LoadSource source = LoadSource::nothing;
        // For the status line; empty when nothing was loaded.
        QString statusText;
    };
    // Fills the library from the current slot's file, with the folder stored there. An empty slot
    // takes the bookmark cache's rows and folder once, moves them into the slot and brings the
    // playlists' metadata in line.
    LoadResult loadCurrentSlot();

    // The built-in list becomes the library of the Default slot, with folder as the library folder;
    // the slot metadata names slot 0 active (stored names kept). The slot left is not saved again.
    void adoptDefaultBookmarks(BookmarkList rows, const QString &folder);

    // Saves the slot being left, makes slot the active one and loads it; the folder stays. Returns
    // the status text, or nothing (and does nothing) for the current slot or one outside 0-5.
    std::optional<QString> switchToSlot(qint64 slot);

    // Writes the current slot, the slot metadata (active slot, stored names kept) and the bookmark
    // cache. Returns at once; a failure arrives later through saveFailed().
    void saveCurrentSlot();
    // Returns once every state file write has finished; the application calls it before it quits.
    static void waitForPendingSaves();

    // The six slot names: the stored name trimmed, else "Default" or "Slot N".
    QStringList slotTileNames() const;

    // "<books> books (<available> available, <unavailable> unavailable)"; a book is the rows of one
    // PDF file name, ignoring case.
    QString slotAvailabilitySummary(const BookmarkList &rows) const;

    // The position in the library of the first bookmark with the entry's identity key.
    std::optional<qsizetype> allBookmarksIndex(const BookmarkEntry &entry) const;
    // Library positions of the bookmarks shown in the given rows: ascending by row, one per identity
    // key, rows outside the shown ones and bookmarks no longer in the library skipped.
    QList<qsizetype> uniqueAllBookmarksIndices(const QList<int> &displayRows) const;

    // ---- Search and sort of the shown rows

    // Raised by every search update and every change of the library; a pass applies its rows only
    // while the generation is still the one it began with.
    qint64 searchFilterGeneration() const { return m_searchFilterGeneration; }

    // A text without phrases or words shows the whole library at once, in library order. Any other
    // text is ranked first over the first searchFirstPassCount bookmarks and then over the whole
    // library on a worker; each pass is applied from the event loop, the first one first.
    // filteredBookmarksChanged() tells of every list applied.
    void updateFilteredList(const QString &text);

    // The column the shown rows were last sorted by, and the direction.
    const std::optional<QString> &sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }
    // Sorts the shown rows (all of them, also beyond the displayed ones): ascending for a new column,
    // the other direction for the column sorted last. No rows: nothing changes, the state neither.
    // Returns whether it sorted.
    bool sortFilteredByColumn(const QString &column);

    // ---- Metadata edits. Metadata belongs to a title: each edit reaches every bookmark whose
    // normalised title key equals the edited one's, in the library and among the shown rows. None of
    // them saves.

    // Library positions, ascending, of the bookmarks with that normalised title key; none for an
    // empty key.
    QList<qsizetype> indicesMatchingTitleKey(const QString &key) const;

    // Sets the field from the text on every bookmark of the entry's title and returns how many library
    // bookmarks that was. A new title also renames the songs' playlist items. Refused (nothing
    // changes): an empty or blank title, a rating that is not a finite number.
    Result<qsizetype> setMetadataField(BookmarkMetadataField field, const QString &value,
                                       const BookmarkEntry &entry);

    // The edit dialog's six values on every bookmark of the entry's title; returns the count.
    qsizetype applyMetadataValues(const BookmarkEntry &entry, const MetadataValues &values);

    // What the enrichment of base changed (genre, style, year, composer, tempo, rating, links; a
    // removed year or rating included) on every bookmark of base's title; returns the count.
    qsizetype applyEnrichedMetadata(const BookmarkEntry &enriched, const BookmarkEntry &base);

    // ---- Deleting rows

    // Looks at the rows without changing anything, so that the confirmation can name the files.
    DeletionPlan planDeletion(const QList<qsizetype> &positions) const;
    // Removes the planned rows (also from the shown rows), saves, brings the playlists in line, takes
    // the imported songs out of every playlist and moves the imported files that nothing uses any more
    // to the trash. Nothing happens when the library changed since the plan was made.
    std::optional<DeletionResult> deleteBookmarks(const DeletionPlan &plan);

    // ---- Opening songs

    // Opens the entry's book: where its file is gone and the library folder holds a PDF of that name
    // (at any depth), that PDF; the row with the entry's identity key then points there for good
    // (saved, playlists brought in line). The book's bookmarks are the library rows of the same path,
    // ignoring case, by page and then lower-cased title.
    OpenSongPlan planOpenPdf(const BookmarkEntry &entry);

    // The same with a list to step through: a found file is only opened, nothing is stored; the book's
    // bookmarks are the context rows of that path, in context order.
    OpenSongPlan planOpenPdfWithContext(const BookmarkEntry &entry, const BookmarkList &context) const;

Q_SIGNALS:
    // A save could not be written; the message names the file and the reason.
    void saveFailed(const QString &message);
    // A search pass, or an update that shows everything, replaced the shown rows.
    void filteredBookmarksChanged();

private:
    // The library's rows changed: positions, prepared search data and running passes are stale.
    void noteLibraryChanged();
    void applySearchPass(qint64 generation, BookmarkList rows);
    // Prepares the library for searching and sorting on a worker, once it has stopped changing.
    void prepareSearchIndex();
    void adoptSearchIndex(std::shared_ptr<const LibrarySearchIndex> index, quint64 version);
    void startFullSearchPass(const SearchQuery &query, qint64 generation);

    void writeMetaInBackground(qint64 activeSlot);
    StateFile::WriteDone failureReporter();
    const QHash<QString, qsizetype> &positionsByKey() const;

    qint64 m_currentSlotId = 0;
    BookmarkList m_allBookmarks;
    BookmarkList m_filteredBookmarks;
    QString m_selectedFolder;
    // Identity key -> first library position; built on the first lookup after the library changed.
    mutable QHash<QString, qsizetype> m_positionsByKey;
    mutable bool m_positionsValid = false;

    qint64 m_searchFilterGeneration = 0;
    // Counts the changes of the library, so that a search index built from an older library is
    // never kept.
    quint64 m_libraryVersion = 0;
    std::shared_ptr<const LibrarySearchIndex> m_searchIndex;
    QTimer m_prepareTimer;
    quint64 m_preparingVersion = 0;
    std::optional<QString> m_sortColumn;
    bool m_sortAscending = true;
    // Normalised title keys by title, kept for the library's lifetime so an edit does not normalise
    // every title again.
    mutable QHash<QString, QString> m_titleKeys;

    const QString &titleKey(const QString &title) const;
    // Applies write to every bookmark of the title, library and shown rows; returns the library count.
    // oldRows, when given, receives the library rows as they were.
    qsizetype writeToTitle(const QString &title, const std::function<void(BookmarkEntry &)> &write,
                           BookmarkList *oldRows = nullptr);
    std::optional<QString> resolveMissingPdf(const BookmarkEntry &entry) const;
};

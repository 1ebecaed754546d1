#pragma once

#include "core/bookmarks/LibraryRows.h"
#include "core/playlist/Playlist.h"
#include "core/slotfiles/SlotStore.h"

#include <QDateTime>
#include <QSet>
#include <QStringList>

// One imported file with its bookmarks over the user's slots (1-5).
struct CustomFileGroup {
    // A single: its first bookmark's title ("Custom Single" when blank); a book: the file name without
    // its extension.
    QString displayName;
    QString pdfFileName;
    // Of the first bookmark; empty for a file known only by its name.
    QString pdfFilePath;
    QList<qint64> slotIds; // ascending
    qsizetype titleCount = 0;
    bool isCustomSingle = false;
    // "Custom Book • 3 title(s) • Slot 2, Gigs"
    QString subtitle;
    // When the file at pdfFilePath last changed; invalid when no file is there.
    QDateTime fileModified;

    friend bool operator==(const CustomFileGroup &, const CustomFileGroup &) = default;
};

// The bookmarks of chosen groups, by the key they were grouped by.
class CustomFileSelection {
public:
    explicit CustomFileSelection(const QList<CustomFileGroup> &groups);
    bool contains(const BookmarkEntry &row) const;
    // The groups' paths, each once, none empty.
    QStringList paths() const;

private:
    QSet<QString> m_paths;
    QSet<QString> m_names;
};

// The PDFs that the user imported (images and files turned into books of their own): how their rows
// are recognised and named, and when their files may go.
namespace CustomPdfFiles {

// How book lists name the book of every imported single file.
inline const QString customSinglesLabel = QStringLiteral("Custom Singles");

// customSinglesLabel for an imported single file (SlotStore::isCustomSingle), else the PDF file name.
QString bookNameLabel(const BookmarkEntry &entry);

// A bookmark of an imported PDF: its file name ends in ".pdf" (any case) and it is a single file,
// names "(Custom)" in any case, or lies in the import library.
bool isCustomBookmark(const BookmarkEntry &entry);
bool isCustomBookmark(const BookmarkEntry &entry, SlotStore::ImportLibraryTest &library);

// The imported files among the bookmarks of slots 1-5 (rowsOfSlots[0] is never looked at), grouped by
// path, or by the lower-cased file name where a bookmark has no path; ordered by display name,
// ignoring case. slotNames names the six slots for the subtitles. Reads the file system; safe on any
// thread.
QList<CustomFileGroup> customFileGroups(const QList<LibraryRows> &rowsOfSlots, const QStringList &slotNames);

// How the slots other than the current one use imported files, as their files held them: the
// standardised paths among those asked about that a row of theirs names, and the size and time of each
// slot file when it was read.
struct OtherSlotsUse {
    qint64 currentSlot = 0;
    QSet<QString> used;
    QList<std::pair<qint64, qint64>> stamps;

    // No other slot's file was written since it was read. Looks at sizes and times (after the writes
    // still pending), reads nothing.
    bool unchanged() const;
};
// Reads the files of slots 0-5 but currentSlot, for the paths given; safe on any thread.
OtherSlotsUse otherSlotsUse(const QStringList &paths, qint64 currentSlot);

// Those of paths (each once, in the order given) that lie in the import library, exist as files, and
// that nothing uses any more: no row of the other slots (otherSlots), no row of the current slot
// (currentRows rather than its file, whose save may still be under way), and no item of playlists but
// those whose identity key is in leavingPlaylistKeys.
QStringList unusedManagedPdfs(const QStringList &paths, const OtherSlotsUse &otherSlots,
                              const LibraryRows &currentRows, const QList<Playlist> &playlists,
                              const QSet<QString> &leavingPlaylistKeys = {});

struct TrashResult {
    QStringList trashed;
    QStringList failed;
};
// Moves each file to the desktop trash, where the user can still get it back.
TrashResult moveToTrash(const QStringList &files);

} // namespace CustomPdfFiles

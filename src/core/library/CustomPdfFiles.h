#pragma once

#include "core/library/LibraryRows.h"
#include "core/playlist/Playlist.h"

#include <QSet>
#include <QStringList>

// The PDFs that the user imported (images and files turned into books of their own): how their rows
// are recognised and named, and when their files may go.
namespace CustomPdfFiles {

// "Custom Singles" for an imported single file (SlotStore::isCustomSingle), else the PDF file name.
QString bookNameLabel(const BookmarkEntry &entry);

// A bookmark of an imported PDF: its file name ends in ".pdf" (any case) and it is a single file,
// names "(Custom)" in any case, or lies in the import library.
bool isCustomBookmark(const BookmarkEntry &entry);

// Those of paths (each once, in the order given) that lie in the import library, exist as files, and
// that nothing uses any more: no row of any slot, the current slot taken from currentRows rather
// than its file (its save may still be under way), and no item of playlists but those whose identity
// key is in leavingPlaylistKeys.
QStringList unusedManagedPdfs(const QStringList &paths, qint64 currentSlot, const LibraryRows &currentRows,
                              const QList<Playlist> &playlists,
                              const QSet<QString> &leavingPlaylistKeys = {});

struct TrashResult {
    QStringList trashed;
    QStringList failed;
};
// Moves each file to the desktop trash, where the user can still get it back.
TrashResult moveToTrash(const QStringList &files);

} // namespace CustomPdfFiles

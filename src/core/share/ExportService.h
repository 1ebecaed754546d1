#pragma once

#include "core/bookmarks/BookmarkEntry.h"

#include <QByteArray>
#include <QString>

// Bookmarks as a comma-separated file for spreadsheets: one header line, then one line per bookmark
// with 13 columns (no path, no page count), sorted by file name, then page. Safe on any thread.
namespace ExportService {

// The name the save panel suggests.
QString suggestedFileName();

// A cell a spreadsheet would run as a formula (one that starts with "=", "+", "-", "@", a tab or a
// carriage return, after any apostrophes) is written with one leading apostrophe more.
// unguardedCell() is the reader's side: it removes a leading apostrophe only where one of those follows
// the apostrophes, so that "'Round Midnight" keeps its own.
QString unguardedCell(const QString &text);

// The whole file: UTF-8 without byte-order mark, lines separated by a line feed, none after the last.
// Sorted by the code points of the composed (NFC) file names, then by page; stable.
QByteArray csvText(const BookmarkList &bookmarks);

// Replaces the file at path with csvText(bookmarks) in one piece: a failed write leaves the previous
// file as it was. False, with the reason in error, when nothing was written.
bool writeCSV(const QString &path, const BookmarkList &bookmarks, QString *error = nullptr);

} // namespace ExportService

#pragma once

#include "core/bookmarks/BookmarkEntry.h"

#include <QStringList>

// The names and titles that imported files take in a slot, and the metadata they start with.
namespace ImportTitles {

// The titles trimmed and made unique, ignoring case, among themselves and among the titles the book
// (pdfFileName bookName, or bookName + ".pdf") already has in slotRows: a repeat of "Intro" becomes
// "Intro 2", then "Intro 3".
QStringList uniqueTitles(const QStringList &titles, const QString &bookName, const BookmarkList &slotRows);

// The same among the imported single files of slotRows.
QStringList uniqueSingleImportTitles(const QStringList &titles, const BookmarkList &slotRows);

// "Custom Book <n>" for the smallest n that no book name contains, ignoring case ("Custom Book 1" is
// taken by "Custom Book 12 (Custom).pdf").
QString defaultCustomBookName(const QStringList &bookNames);

// Fills what a row lacks (genre, style, year, composer, tempo, rating) from the built-in metadata of
// its title; never overwrites a value. Any thread.
void autofillMetadata(BookmarkList &rows);

} // namespace ImportTitles

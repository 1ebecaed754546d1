#pragma once

#include "ui/import/ImagePdfImportOptions.h"

#include <optional>

class LibrarySlots;
class QWidget;

// The two forms that ask how chosen files are imported. Both offer slots 1 to 5 (the current one
// preselected, slot 1 for Default) and an optional folder for the new PDFs, and keep the user in the
// form, with what was typed, when a title is missing. Texts are English in every interface language.
namespace ImagePdfImportDialogs {

// Pictures and PDFs: a title for every file; with several files, one custom book (named after those
// of userSlotBookNames, the books of slots 1 to 5) or single files.
std::optional<ImagePdfImportOptions>
promptImagePdfImportOptions(QWidget *parent, const LibrarySlots &librarySlots, const QStringList &paths,
                            const std::optional<QString> &targetPlaylistName,
                            const QStringList &userSlotBookNames = {});

// One PDF whose outline gave at least two bookmarks: the book's name, keep or rewrite the titles (every
// row editable), keep the file where it is.
std::optional<BookmarkedPdfImportOptions>
promptBookmarkedPdfImportOptions(QWidget *parent, const LibrarySlots &librarySlots, const QString &pdfPath,
                                 const BookmarkList &bookmarks,
                                 const std::optional<QString> &targetPlaylistName);

} // namespace ImagePdfImportDialogs

#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/BuildProgress.h"
#include "core/common/Result.h"
#include "core/slotfiles/SlotStore.h"

#include <QString>
#include <QStringList>

#include <optional>

// What an import made: the new bookmarks, the first of them in the first PDF it wrote or used.
struct ImagePdfImportResult {
    BookmarkList bookmarks;
};

// Turns imported pictures and PDFs into PDF books of their own in the import library (or a folder the
// caller names) and gives the bookmarks that describe them; the caller stores them. Pictures become
// pages whose longer side is 640 points; JPEGs are embedded as they are, turned upright by their EXIF
// orientation; HEIC and HEIF go through libheif, CMYK JPEGs are converted to RGB (and stored as JPEG),
// every other picture is stored losslessly.
//
// Failures come back as errors of domain "Lyrafold" with the codes of ImportError and the texts users
// see; a failure of the file system keeps its own domain ("FileSystem"), code and message. Files written
// before a failure stay. An import given a progress tells it, after each picture and PDF it takes in,
// how many of its files are in (of all it takes in: pictures first when they make one book); when the
// progress is cancelled it stops before its next one, removes the files it wrote and fails with
// ImportError::Cancelled. Stateless; safe on any thread.
namespace ImagePdfImportService {

enum class ImportError {
    NothingImportable = 1,     // "No readable images or PDFs were selected."
    NoBookmarks = 2,           // "Import created no bookmarks."
    NoImages = 3,              // "At least one image is required."
    UnreadableImage = 4,       // "Could not read image: <file name>"
    PageFailed = 5,            // "Could not create PDF page for <file name>."
    WriteFailed = 6,           // "Could not write imported PDF."
    NoImportableBookmarks = 7, // "This PDF has no importable bookmarks."
    Cancelled = 8,             // "Import cancelled." (told to no one: the caller cancelled)
};

// Whether the error is the one of an import that was cancelled.
bool isCancellation(const LyrafoldError &error);

// The book name of every bookmark a single-file import makes: the one the slots group singles under.
using SlotStore::customSinglesBookName;

// The import library, "PDFs" in the user's Documents folder, created with any missing parents.
Result<QString> defaultLibraryDirectory();

// The title a file gives: its name without the last extension, trimmed; "Imported PDF" or
// "Imported Image" when that leaves nothing.
QString title(const QString &path);

// The name trimmed ("Custom Book 1" when blank) with " (Custom)" appended unless it ends so already.
QString customBookDisplayName(const QString &name);

// The name with \ / : * ? " < > | each replaced by "_", trimmed, runs of white space made one blank;
// "Imported Images" when nothing is left. Applying it twice changes nothing.
QString sanitizePdfFileName(const QString &name);

// Imports the importable files among paths, in order: each as a PDF of its own grouped under
// customSinglesBookName, or (importAsBook) the pictures as the pages of one new PDF named pdfFileName,
// else bookName, and each PDF as a book of its own. pageTitles go by position among the importable
// files; blank or missing ones fall back to title(). Without destinationDirectory the files go to the
// import library.
Result<ImagePdfImportResult> importFiles(const QStringList &paths, const QString &bookName,
                                         const QStringList &pageTitles,
                                         const std::optional<QString> &pdfFileName,
                                         const std::optional<QString> &destinationDirectory,
                                         bool importAsBook, const BuildProgress *progress = nullptr);

// One PDF with one page per picture, in destinationDirectory (which must exist); one bookmark per page.
// The first picture that fails ends it, and no PDF is left behind.
Result<ImagePdfImportResult> convertImagesToPdf(const QStringList &paths, const QString &bookName,
                                                const QStringList &pageTitles,
                                                const std::optional<QString> &pdfFileName,
                                                const QString &destinationDirectory,
                                                const BuildProgress *progress = nullptr);

// Takes a PDF into the library with bookmarks already read from its outline (PdfBookmarkExtractor):
// kept where it is, or copied under bookName; the bookmarks name the book and their spans are
// computed again.
Result<ImagePdfImportResult> importBookmarkedPDF(const QString &sourcePath,
                                                 const BookmarkList &extractedBookmarks,
                                                 const QString &bookName,
                                                 const std::optional<QString> &destinationDirectory,
                                                 bool keepOriginalFile);

} // namespace ImagePdfImportService

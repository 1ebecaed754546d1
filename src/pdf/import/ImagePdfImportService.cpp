#include "pdf/import/ImagePdfImportService.h"
#include "core/common/UiText.h"

#include "core/common/AppPaths.h"
#include "core/imports/ImportableFiles.h"
#include "core/share/ExportNaming.h"
#include "core/text/TextUtils.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/engine/PdfDrawingStream.h"
#include "pdf/engine/PdfSupport.h"
#include "pdf/extract/PdfBookmarkExtractor.h"
#include "pdf/import/PictureFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

// Every picture becomes a page whose longer side is this long, in points.
constexpr double pictureLongSide = 640;

const QString customSingleBookName = QStringLiteral("Custom Single (Custom)");
const QString customBookName = QStringLiteral("Custom Book (Custom)");

LyrafoldError importError(ImagePdfImportService::ImportError code, const QString &message)
{
    return LyrafoldError{QStringLiteral("Lyrafold"), int(code), message};
}

LyrafoldError cancelledError()
{
    return importError(ImagePdfImportService::ImportError::Cancelled, UiText::tr("Import cancelled."));
}

// A cancelled import leaves none of what it wrote: its songs never reach a slot.
LyrafoldError cancelled(const QStringList &written)
{
    for (const QString &path : written)
        QFile::remove(path);
    return cancelledError();
}

LyrafoldError fileSystemError(int code, const QString &message)
{
    return LyrafoldError{QStringLiteral("FileSystem"), code, message};
}

bool hasText(const QString &text)
{
    return !TextUtils::trimmed(text).isEmpty();
}

// The import folder, created with its parents.
Result<QString> importFolder(const std::optional<QString> &destinationDirectory)
{
    if (!destinationDirectory)
        return ImagePdfImportService::defaultLibraryDirectory();
    if (!QDir().mkpath(*destinationDirectory)) {
        const int error = errno;
        return fileSystemError(error,
                               UiText::tr("Could not create the folder %1: %2")
                                   .arg(*destinationDirectory, QString::fromLocal8Bit(std::strerror(error))));
    }
    return *destinationDirectory;
}

// A path in directory that names no file yet: base.pdf, then "base 2.pdf", "base 3.pdf" and on. Nothing
// is reserved. The base is cut so that the name stays within what file systems take.
QString uniquePdfPath(const QString &directory, const QString &baseName)
{
    const QString base = TextUtils::truncatedAtCharacter(ImagePdfImportService::sanitizePdfFileName(baseName),
                                                         ExportNaming::maxFileNameBytes - 16,
                                                         TextUtils::TextMeasure::Utf8Bytes);
    const auto taken = [](const QString &path) {
        const QFileInfo info(path);
        return info.exists() || info.isSymLink();
    };
    QString candidate = directory + QLatin1Char('/') + base + QStringLiteral(".pdf");
    for (qint64 n = 2; taken(candidate); ++n)
        candidate = directory + QLatin1Char('/') + base + QLatin1Char(' ') + QString::number(n) +
                    QStringLiteral(".pdf");
    return candidate;
}

BookmarkEntry newBookmark(const QString &bookPath, const QString &pdfFileName, qint64 page,
                          const QString &title, qint64 span, qint64 totalPages)
{
    BookmarkEntry entry;
    entry.pdfFileName = pdfFileName;
    entry.pdfFilePath = bookPath;
    entry.pageNumber = page;
    entry.title = TextUtils::foldedTitle(title);
    entry.pageSpan = span;
    entry.totalPages = totalPages;
    return entry;
}

// The page count of a PDF, or 1 when it cannot be opened or has no page.
qint64 pageCountOrOne(const QString &path)
{
    const Result<PdfDocumentPtr> document = PdfDocument::open(path);
    return document && document.value()->pageCount() > 0 ? document.value()->pageCount() : 1;
}

Result<QString> copyPdf(const QString &source, const QString &directory, const QString &baseName)
{
    const QString target = uniquePdfPath(directory, baseName);
    QFile file(source);
    if (!file.copy(target))
        return fileSystemError(int(file.error()), file.errorString());
    return target;
}

// A PDF copied as a book of its own, its bookmark spanning all its pages.
Result<BookmarkEntry> importPdf(const QString &source, const QString &directory, const QString &title,
                                const std::optional<QString> &pdfFileName)
{
    const Result<QString> copy = copyPdf(source, directory, title);
    if (!copy)
        return copy.error();
    const qint64 pages = pageCountOrOne(copy.value());
    return newBookmark(copy.value(), pdfFileName.value_or(QFileInfo(copy.value()).fileName()), 1, title,
                       pages, pages);
}

} // namespace

namespace ImagePdfImportService {

bool isCancellation(const LyrafoldError &error)
{
    return error.domain == QLatin1String("Lyrafold") && error.code == int(ImportError::Cancelled);
}

Result<QString> defaultLibraryDirectory()
{
    const QString path = AppPaths::importLibraryPath();
    if (path.isEmpty())
        return Result<QString>::failure(UiText::tr("The Documents folder could not be determined."));
    if (!QDir().mkpath(path))
        return Result<QString>::failure(UiText::tr("Could not create the folder %1.").arg(path));
    return path;
}

QString title(const QString &path)
{
    const QFileInfo info(path);
    const QString name = TextUtils::trimmed(info.completeBaseName());
    if (!name.isEmpty())
        return name;
    return ImportableFiles::isPdf(path) ? QStringLiteral("Imported PDF") : QStringLiteral("Imported Image");
}

QString customBookDisplayName(const QString &name)
{
    QString display = TextUtils::trimmed(name);
    if (display.isEmpty())
        display = QStringLiteral("Custom Book 1");
    if (!display.endsWith(QLatin1String("(Custom)")))
        display += QStringLiteral(" (Custom)");
    return display;
}

QString sanitizePdfFileName(const QString &name)
{
    static const QString rejected = QStringLiteral("\\/:*?\"<>|");
    static const QRegularExpression whiteSpace = TextUtils::unicodeRegex(QStringLiteral("\\s+"));
    QString safe = TextUtils::singleLine(name);
    for (QChar &c : safe) {
        if (rejected.contains(c))
            c = QLatin1Char('_');
    }
    safe = TextUtils::trimmed(safe);
    safe.replace(whiteSpace, QStringLiteral(" "));
    return safe.isEmpty() ? QStringLiteral("Imported Images") : safe;
}

namespace {

// The files of one import taken in so far, told to its progress, which may cancel it between them.
struct ImportSteps {
    const BuildProgress *progress = nullptr;
    qint64 total = 0;
    qint64 done = 0;

    bool cancelled() const { return isCancelled(progress); }
    void stepDone() { reportProgress(progress, ++done, total); }
};

Result<ImagePdfImportResult> convertPictures(const QStringList &paths, const QString &bookName,
                                             const QStringList &pageTitles,
                                             const std::optional<QString> &pdfFileName,
                                             const QString &destinationDirectory, ImportSteps &steps)
{
    if (paths.isEmpty())
        return importError(ImportError::NoImages, UiText::tr("At least one image is required."));
    const QString base = pdfFileName ? *pdfFileName : hasText(bookName) ? bookName : customBookName;
    const QString target = uniquePdfPath(destinationDirectory, base);
    const LyrafoldError writeFailed =
        importError(ImportError::WriteFailed, UiText::tr("Could not write imported PDF."));
    // The file appears only once every page is in it: a picture that fails leaves no PDF behind.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailed;
    PdfDrawingStream pages(&file, PdfDrawingStream::Images::Once);
    const auto stop = [&file] {
        file.cancelWriting();
        return cancelledError();
    };
    for (const QString &path : paths) {
        if (steps.cancelled())
            return stop();
        const QString fileName = QFileInfo(path).fileName();
        const Result<PictureFile> picture = PictureFile::load(path);
        if (!picture) {
            file.cancelWriting();
            const QString &reason = picture.error().message;
            return importError(ImportError::UnreadableImage,
                               reason.isEmpty()
                                   ? UiText::tr("Could not read image: %1").arg(fileName)
                                   : reason + QStringLiteral(" (") + fileName + QLatin1Char(')'));
        }
        // A large scan takes about as long again to be stored in the page as to be decoded.
        if (steps.cancelled())
            return stop();
        const QSizeF pixels(std::max(1, picture->uprightSize.width()),
                            std::max(1, picture->uprightSize.height()));
        const QRectF page(QPointF(), pixels * (pictureLongSide / std::max(pixels.width(), pixels.height())));
        if (!pages.addPage(page, [&](PdfCanvas &canvas) { return picture->draw(canvas, page); })) {
            const bool writeError = file.error() != QFileDevice::NoError;
            file.cancelWriting();
            if (writeError)
                return writeFailed;
            return importError(ImportError::PageFailed,
                               UiText::tr("Could not create PDF page for %1.").arg(fileName));
        }
        steps.stepDone();
    }
    if (!pages.finish() || !PdfSupport::commitComplete(file, pages.bytesWritten()))
        return writeFailed;

    ImagePdfImportResult result;
    const QString targetName = QFileInfo(target).fileName();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString given = i < pageTitles.size() ? TextUtils::trimmed(pageTitles[i]) : QString();
        result.bookmarks.append(newBookmark(target, targetName, i + 1,
                                            given.isEmpty() ? title(paths[i]) : given, 1, paths.size()));
    }
    return result;
}

} // namespace

Result<ImagePdfImportResult> convertImagesToPdf(const QStringList &paths, const QString &bookName,
                                                const QStringList &pageTitles,
                                                const std::optional<QString> &pdfFileName,
                                                const QString &destinationDirectory,
                                                const BuildProgress *progress)
{
    ImportSteps steps{progress, paths.size()};
    return convertPictures(paths, bookName, pageTitles, pdfFileName, destinationDirectory, steps);
}

Result<ImagePdfImportResult> importFiles(const QStringList &paths, const QString &bookName,
                                         const QStringList &pageTitles,
                                         const std::optional<QString> &pdfFileName,
                                         const std::optional<QString> &destinationDirectory,
                                         bool importAsBook, const BuildProgress *progress)
{
    QStringList accepted;
    for (const QString &path : paths) {
        if (ImportableFiles::isImportable(path))
            accepted.append(path);
    }
    if (accepted.isEmpty())
        return importError(ImportError::NothingImportable,
                           UiText::tr("No readable images or PDFs were selected."));
    const Result<QString> folder = importFolder(destinationDirectory);
    if (!folder)
        return folder.error();
    const QString directory = folder.value();
    const QString effectiveBookName = hasText(bookName) ? bookName : customBookName;
    QStringList titles;
    for (qsizetype i = 0; i < accepted.size(); ++i) {
        const QString given = i < pageTitles.size() ? TextUtils::trimmed(pageTitles[i]) : QString();
        titles.append(given.isEmpty() ? title(accepted[i]) : given);
    }

    BookmarkList bookmarks;
    QStringList written;
    ImportSteps steps{progress, accepted.size()};
    if (!importAsBook) {
        for (qsizetype i = 0; i < accepted.size(); ++i) {
            if (steps.cancelled())
                return cancelled(written);
            if (ImportableFiles::isPdf(accepted[i])) {
                const Result<BookmarkEntry> entry =
                    importPdf(accepted[i], directory, titles[i], customSinglesBookName);
                if (!entry)
                    return entry.error();
                bookmarks.append(entry.value());
                written.append(entry->pdfFilePath);
                steps.stepDone();
                continue;
            }
            const Result<ImagePdfImportResult> single = convertPictures(
                {accepted[i]}, customSingleBookName, {titles[i]}, titles[i], directory, steps);
            if (!single)
                return isCancellation(single.error()) ? cancelled(written) : single.error();
            written.append(single->bookmarks.first().pdfFilePath);
            BookmarkEntry entry = single->bookmarks.first();
            entry.pdfFileName = customSinglesBookName;
            bookmarks.append(entry);
        }
    } else {
        QStringList pictures;
        QStringList pictureTitles;
        for (qsizetype i = 0; i < accepted.size(); ++i) {
            if (!ImportableFiles::isPdf(accepted[i])) {
                pictures.append(accepted[i]);
                pictureTitles.append(titles[i]);
            }
        }
        BookmarkList pages;
        if (!pictures.isEmpty()) {
            const Result<ImagePdfImportResult> book =
                convertPictures(pictures, effectiveBookName, pictureTitles, pdfFileName, directory, steps);
            if (!book)
                return book.error();
            pages = book->bookmarks;
            written.append(book->bookmarks.first().pdfFilePath);
        }
        // PDFs and picture pages in the order the user gave them; the k-th picture is the k-th page,
        // also when one picture was given twice.
        qsizetype nextPage = 0;
        for (qsizetype i = 0; i < accepted.size(); ++i) {
            if (!ImportableFiles::isPdf(accepted[i])) {
                bookmarks.append(pages.at(nextPage++));
                continue;
            }
            if (steps.cancelled())
                return cancelled(written);
            const Result<BookmarkEntry> entry = importPdf(accepted[i], directory, titles[i], std::nullopt);
            if (!entry)
                return entry.error();
            bookmarks.append(entry.value());
            written.append(entry->pdfFilePath);
            steps.stepDone();
        }
    }
    if (bookmarks.isEmpty())
        return importError(ImportError::NoBookmarks, UiText::tr("Import created no bookmarks."));
    return ImagePdfImportResult{bookmarks};
}

Result<ImagePdfImportResult> importBookmarkedPDF(const QString &sourcePath,
                                                 const BookmarkList &extractedBookmarks,
                                                 const QString &bookName,
                                                 const std::optional<QString> &destinationDirectory,
                                                 bool keepOriginalFile)
{
    if (extractedBookmarks.isEmpty())
        return importError(ImportError::NoImportableBookmarks,
                           UiText::tr("This PDF has no importable bookmarks."));
    const Result<QString> folder = importFolder(destinationDirectory);
    if (!folder)
        return folder.error();
    QString bookPath = sourcePath;
    if (!keepOriginalFile) {
        const Result<QString> copy = copyPdf(sourcePath, folder.value(), bookName);
        if (!copy)
            return copy.error();
        bookPath = copy.value();
    }
    QString pdfFileName = sanitizePdfFileName(bookName);
    if (!pdfFileName.endsWith(QLatin1String(".pdf")))
        pdfFileName += QStringLiteral(".pdf");
    qint64 totalPages = 0;
    if (const Result<PdfDocumentPtr> document = PdfDocument::open(bookPath)) {
        totalPages = document.value()->pageCount();
    } else {
        for (const BookmarkEntry &entry : extractedBookmarks)
            totalPages = std::max(totalPages, entry.totalPages);
    }
    totalPages = std::max<qint64>(totalPages, 1);

    BookmarkList bookmarks;
    for (const BookmarkEntry &given : extractedBookmarks) {
        BookmarkEntry entry = given;
        entry.title = TextUtils::foldedTitle(given.title);
        entry.pdfFileName = pdfFileName;
        entry.pdfFilePath = bookPath;
        entry.pageNumber = std::max<qint64>(given.pageNumber, 1);
        entry.pageSpan = std::max<qint64>(given.pageSpan, 1);
        entry.totalPages = totalPages;
        bookmarks.append(entry);
    }
    PdfBookmarkExtractor::recalculatePageSpans(bookmarks);
    return ImagePdfImportResult{bookmarks};
}

} // namespace ImagePdfImportService

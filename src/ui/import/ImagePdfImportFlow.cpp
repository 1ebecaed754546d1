#include "ui/import/ImagePdfImportFlow.h"

#include "core/common/Hop.h"
#include "core/imports/ImportTitles.h"
#include "core/imports/ImportableFiles.h"
#include "pdf/extract/PdfBookmarkExtractor.h"
#include "pdf/import/ImagePdfImportService.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/import/ImagePdfImportDialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

ImagePdfImportFlow::ImagePdfImportFlow(AppContext &context, QWidget *window, QObject *parent)
    : QObject(parent), m_context(context), m_window(window)
{
    // The global thread pool is waited for as the application object goes: an import of many large
    // pictures would keep the process on for minutes after its window closed.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [imports = m_imports] { imports->cancel(); });
}

ImagePdfImportFlow::~ImagePdfImportFlow()
{
    m_imports->cancel();
}

void ImagePdfImportFlow::setRunning(int delta)
{
    const bool was = m_running > 0;
    m_running += delta;
    if (was != (m_running > 0))
        Q_EMIT busyChanged(m_running > 0);
}

void ImagePdfImportFlow::importImagesAndPDFsToLibrary()
{
    QFileDialog panel(m_window, QStringLiteral("Images/PDFs to PDF Library"));
    panel.setObjectName(QStringLiteral("importFilesPanel"));
    panel.setFileMode(QFileDialog::ExistingFiles);
    panel.setNameFilter(
        QStringLiteral("PDFs and images") +
        QStringLiteral(" (*.pdf *.PDF *.jpg *.jpeg *.png *.heic *.heif *.tif *.tiff "
                       "*.webp *.bmp *.JPG *.JPEG *.PNG *.HEIC *.HEIF *.TIF *.TIFF *.WEBP *.BMP)"));
    panel.setLabelText(QFileDialog::Accept, QStringLiteral("Import"));
    panel.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    if (panel.exec() != QDialog::Accepted)
        return;
    QList<QUrl> urls;
    for (const QString &file : panel.selectedFiles())
        urls.append(QUrl::fromLocalFile(file));
    importImagesAndPDFs(ImportableFiles::importablePaths(urls), std::nullopt);
}

void ImagePdfImportFlow::importImagesAndPDFs(const QStringList &paths,
                                             const std::optional<QString> &targetPlaylistName)
{
    if (paths.isEmpty()) {
        LyrafoldAlert::run(m_window, LyrafoldAlert::Style::warning, QStringLiteral("No readable files"),
                           QStringLiteral("Choose image files or PDF files."));
        return;
    }
    if (paths.size() != 1 || !ImportableFiles::isPdf(paths.first())) {
        askImagePdfOptions(paths, targetPlaylistName);
        return;
    }
    // The outline of a large book takes a moment to read: not on the interface's thread.
    const QString path = paths.first();
    Q_EMIT statusChanged(QStringLiteral("Reading the bookmarks of %1...").arg(QFileInfo(path).fileName()));
    setRunning(+1);
    Hop::run(
        this, [path] { return PdfBookmarkExtractor::extractBookmarks(path); },
        [this, path, targetPlaylistName](BookmarkList bookmarks) {
            setRunning(-1);
            Q_EMIT statusChanged(QString());
            if (bookmarks.size() >= 2) {
                if (const std::optional<BookmarkedPdfImportOptions> options =
                        ImagePdfImportDialogs::promptBookmarkedPdfImportOptions(
                            m_window, m_context.librarySlots(), path, bookmarks, targetPlaylistName)) {
                    Q_EMIT statusChanged(QStringLiteral("Importing bookmarked PDF..."));
                    startBookmarkedImport(path, *options, targetPlaylistName);
                    return;
                }
            }
            askImagePdfOptions({path}, targetPlaylistName);
        });
}

void ImagePdfImportFlow::askImagePdfOptions(const QStringList &paths,
                                            const std::optional<QString> &targetPlaylistName)
{
    if (paths.size() < 2) {
        showImagePdfOptions(paths, targetPlaylistName, {});
        return;
    }
    // The custom book's name is one that no book of slots 1 to 5 has: the slots are read on a worker.
    QList<std::function<BookmarkList()>> slotRows;
    for (qint64 slot = 1; slot < LibrarySession::slotCount; ++slot)
        slotRows.append(m_context.librarySlots().slotBookmarksJob(slot));
    setRunning(+1);
    Hop::run(
        this,
        [slotRows] {
            QSet<QString> names; // many songs of few books
            for (const auto &rows : slotRows) {
                for (const BookmarkEntry &row : rows())
                    names.insert(row.pdfFileName);
            }
            return names.values();
        },
        [this, paths, targetPlaylistName](QStringList names) {
            setRunning(-1);
            showImagePdfOptions(paths, targetPlaylistName, names);
        });
}

void ImagePdfImportFlow::showImagePdfOptions(const QStringList &paths,
                                             const std::optional<QString> &targetPlaylistName,
                                             const QStringList &userSlotBookNames)
{
    const std::optional<ImagePdfImportOptions> options = ImagePdfImportDialogs::promptImagePdfImportOptions(
        m_window, m_context.librarySlots(), paths, targetPlaylistName, userSlotBookNames);
    if (!options)
        return;
    Q_EMIT statusChanged(QStringLiteral("Importing %1 file(s)...").arg(paths.size()));
    startFileImport(paths, *options, targetPlaylistName);
}

void ImagePdfImportFlow::startFileImport(const QStringList &paths, const ImagePdfImportOptions &options,
                                         const std::optional<QString> &targetPlaylistName)
{
    setRunning(+1);
    Hop::run(
        this,
        [paths, chosen = options, slotRows = m_context.librarySlots().slotBookmarksJob(options.slotId),
         imports = m_imports]() mutable {
            chosen.makeUnique(slotRows());
            return ImagePdfImportService::importFiles(paths, chosen.bookName, chosen.pageTitles,
                                                      chosen.pdfFileName, chosen.destinationDirectory,
                                                      chosen.importAsBook, imports.get());
        },
        [this, options, targetPlaylistName](Result<ImagePdfImportResult> result) {
            setRunning(-1);
            // Cancelled as the application quits: nothing to tell.
            if (!result && ImagePdfImportService::isCancellation(result.error()))
                return;
            if (!result) {
                fail(QStringLiteral("File import failed"), result.error().message,
                     QStringLiteral("File import failed."));
                return;
            }
            const QString count = QString::number(result->bookmarks.size());
            const QString status =
                targetPlaylistName
                    ? QStringLiteral("Imported %1 title(s) to %2 and added to \"%3\".")
                          .arg(count, slotName(options.slotId), *targetPlaylistName)
                    : QStringLiteral("Imported %1 title(s) to %2.").arg(count, slotName(options.slotId));
            // Every book the import names is one it wrote.
            QStringList written;
            for (const BookmarkEntry &row : std::as_const(result->bookmarks)) {
                if (!written.contains(row.pdfFilePath))
                    written.append(row.pdfFilePath);
            }
            take(result->bookmarks, options.slotId, options.destinationDirectory.value_or(QString()),
                 targetPlaylistName, status, written);
        });
}

void ImagePdfImportFlow::startBookmarkedImport(const QString &path, const BookmarkedPdfImportOptions &options,
                                               const std::optional<QString> &targetPlaylistName)
{
    setRunning(+1);
    Hop::run(
        this,
        [path, options] {
            BookmarkList bookmarks = options.bookmarks;
            ImportTitles::autofillMetadata(bookmarks);
            return ImagePdfImportService::importBookmarkedPDF(
                path, bookmarks, options.bookName, options.destinationDirectory, options.keepOriginalFile);
        },
        [this, path, options, targetPlaylistName](Result<ImagePdfImportResult> result) {
            setRunning(-1);
            if (!result) {
                fail(QStringLiteral("Bookmarked PDF import failed"), result.error().message,
                     QStringLiteral("Bookmarked PDF import failed."));
                return;
            }
            const QString folder = options.keepOriginalFile
                                       ? QFileInfo(path).absolutePath()
                                       : options.destinationDirectory.value_or(QString());
            // A book kept where it is stays whatever becomes of the import; a copy goes with it.
            QStringList written;
            if (!options.keepOriginalFile && !result->bookmarks.isEmpty())
                written.append(result->bookmarks.first().pdfFilePath);
            take(result->bookmarks, options.slotId, folder, targetPlaylistName,
                 QStringLiteral("Imported %1 bookmarked title(s) to %2.")
                     .arg(result->bookmarks.size())
                     .arg(slotName(options.slotId)),
                 written);
        });
}

QString ImagePdfImportFlow::slotName(qint64 slot) const
{
    return LibrarySlots::slotTileNames().value(int(slot));
}

void ImagePdfImportFlow::take(const BookmarkList &rows, qint64 slot, const QString &folder,
                              const std::optional<QString> &targetPlaylistName, const QString &status,
                              const QStringList &written)
{
    const auto removeWritten = [written] {
        for (const QString &path : written)
            QFile::remove(path);
    };
    const auto append = [=, this] {
        m_context.librarySlots().appendImportedBookmarks(
            rows, slot, folder, this,
            [=, this] {
                if (targetPlaylistName) {
                    for (const BookmarkEntry &row : rows)
                        m_context.playlists().addToPlaylist(*targetPlaylistName, row);
                }
                if (!rows.isEmpty())
                    Q_EMIT firstTitleImported(rows.first());
                Q_EMIT statusChanged(status);
            },
            removeWritten);
    };
    m_context.library().landings().land(this, append, LandingGate::AtQuit::drop, removeWritten);
}

void ImagePdfImportFlow::fail(const QString &title, const QString &message, const QString &status)
{
    const QPointer<ImagePdfImportFlow> self(this);
    // Told once the import on a worker has failed, whenever that is.
    LyrafoldAlert::runUnasked(m_window, LyrafoldAlert::Style::warning, title, message);
    if (self)
        Q_EMIT failed(status);
}

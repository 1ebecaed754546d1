#pragma once

#include "core/annotations/PdfEditCacheFile.h"
#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/BuildProgress.h"
#include "core/share/ExportResult.h"

#include "ui/share/ShareFlow.h"

#include <QDate>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ExportProgressDialog;
class QWidget;

// Sharing one title from a window (the viewer's "Share", a library row's "Share"): the format question,
// the build of a PDF (with the annotations of the title's pages) or of a folder of page images on a
// worker under a window-modal progress dialog with Cancel, then the share-or-save popup. Its save copies
// the PDF to a file the user names, or the image folder into a folder the user picks; what was there
// is never lost, and an existing image folder is replaced only after asking.
//
// A window closed during the build stops the build and is told nothing.
class TitleShareFlow : public ShareFlow {
    Q_OBJECT

public:
    enum class Format { pdf, jpeg };
    // Builds the export of the title into the private export folder (tests put in their own).
    using Builder = std::function<ExportResult(Format format, const BookmarkEntry &entry, const QString &base,
                                               const std::optional<PdfEditCacheFile> &annotations,
                                               BuildProgress *progress)>;
    static Builder standardBuilder();

    // The title, or the book's file name for a title without one.
    static QString displayName(const BookmarkEntry &entry);
    // The name of an export of the title: the display name with "/" and ":" made "-", "_" and the day.
    static QString baseName(const BookmarkEntry &entry, const QDate &day = QDate::currentDate());

    // Where a save that worked is told ("Saved to <folder>"), for a window that tells its outcomes in
    // a place of its own; without one, beside the anchor and in the window's status line.
    using Told = std::function<void(const QString &text)>;

    // Asks for the format, then builds and delivers. annotations: what the window holds for the title's
    // book; without them the book's annotation file is read. The anchor is the Share button the popup
    // points at (the window when there is none). Nothing when the user cancels or an export of this
    // window is still building.
    static TitleShareFlow *start(QWidget *window, QWidget *anchor, const BookmarkEntry &entry,
                                 const std::optional<PdfEditCacheFile> &annotations, Told told = {});
    // What start() does once the user chose the format, with a builder of the test's own.
    static TitleShareFlow *runForTesting(QWidget *window, QWidget *anchor, const BookmarkEntry &entry,
                                         const std::optional<PdfEditCacheFile> &annotations, Format format,
                                         Builder builder)
    {
        return run(window, anchor, entry, annotations, format, std::move(builder));
    }

    ~TitleShareFlow() override;

private:
    TitleShareFlow(QWidget *window, QWidget *anchor, const BookmarkEntry &entry, Format format);

    static TitleShareFlow *run(QWidget *window, QWidget *anchor, const BookmarkEntry &entry,
                               const std::optional<PdfEditCacheFile> &annotations, Format format,
                               Builder builder = standardBuilder(), Told told = {});

    void build(const std::optional<PdfEditCacheFile> &annotations, Builder builder);
    void deliver(const ExportResult &made);
    bool building() const override { return m_building; }

    BookmarkEntry m_entry;
    Format m_format;
    Told m_told;
    std::shared_ptr<BuildProgress> m_progress;
    ExportProgressDialog *m_dialog = nullptr;
    bool m_building = false;
};

// The saves of the popup, on their own so that a save can run after the flow has ended.
namespace TitleShareSave {

// The file panel for the PDF (named after the title and today), then the copy. A save that worked
// says "Saved to <folder>" through told, else beside the anchor (LyrafoldShareHelper::tellDone()).
void savePdf(QWidget *window, const QString &pdf, const BookmarkEntry &entry, QWidget *anchor = nullptr,
             const TitleShareFlow::Told &told = {});
// The folder panel, then the image folder copied into it under its own name; told the same way.
void saveImages(QWidget *window, const QString &folder, QWidget *anchor = nullptr,
                const TitleShareFlow::Told &told = {});

} // namespace TitleShareSave

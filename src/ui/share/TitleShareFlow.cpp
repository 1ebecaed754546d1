#include "ui/share/TitleShareFlow.h"

#include "core/common/Hop.h"
#include "core/share/ExportNaming.h"
#include "pdf/share/PlaylistShareService.h"
#include "ui/common/ExportProgressDialog.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldShareHelper.h"
#include "ui/share/ExportFolderSave.h"
#include "ui/share/SharePopover.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

namespace {

const QString cannotCreate = QStringLiteral("Could not create share content");
const QString bookGone = QStringLiteral("Check that the PDF file still exists.");

// What the share menu gets: the PDF, or the images of the folder in name order (page order).
QStringList shareFiles(TitleShareFlow::Format format, const QString &path)
{
    if (format == TitleShareFlow::Format::pdf)
        return QFileInfo::exists(path) ? QStringList{path} : QStringList{};
    QStringList files;
    const QDir folder(path);
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name))
        files.append(folder.filePath(name));
    return files;
}

// A failure is a warning; a save that worked names the folder it went to.
void reportSave(QWidget *window, QWidget *anchor, const QString &message, const QString &folder,
                const ExportFolderSave::Report &report, const TitleShareFlow::Told &told)
{
    if (!report.failed.isEmpty()) {
        LyrafoldAlert::run(window, LyrafoldAlert::Style::warning, message,
                           report.failed.join(QLatin1Char('\n')));
        return;
    }
    if (report.saved.isEmpty())
        return;
    const QString text = QStringLiteral("Saved to %1").arg(QDir::toNativeSeparators(folder));
    if (told)
        told(text);
    else
        LyrafoldShareHelper::tellDone(window, anchor, text);
}

} // namespace

TitleShareFlow::Builder TitleShareFlow::standardBuilder()
{
    return [](Format format, const BookmarkEntry &entry, const QString &base,
              const std::optional<PdfEditCacheFile> &annotations, BuildProgress *progress) {
        return format == Format::pdf
                   ? PlaylistShareService::buildSingleBookmarkPDF(entry, base, annotations, progress)
                   : PlaylistShareService::buildSingleBookmarkJPEGs(entry, base, annotations, progress);
    };
}

QString TitleShareFlow::displayName(const BookmarkEntry &entry)
{
    return entry.title.isEmpty() ? entry.pdfFileName : entry.title;
}

QString TitleShareFlow::baseName(const BookmarkEntry &entry, const QDate &day)
{
    return ExportNaming::datedStem(displayName(entry), day);
}

TitleShareFlow::TitleShareFlow(QWidget *window, QWidget *anchor, const BookmarkEntry &entry, Format format)
    : ShareFlow(window, anchor, QStringLiteral("titleShareFlow")), m_entry(entry), m_format(format)
{
}

TitleShareFlow::~TitleShareFlow()
{
    // A window closed during the build: the build stops, nothing is told.
    if (m_progress)
        m_progress->cancel();
}

TitleShareFlow *TitleShareFlow::start(QWidget *window, QWidget *anchor, const BookmarkEntry &entry,
                                      const std::optional<PdfEditCacheFile> &annotations, Told told)
{
    if (!window || isBuilding(window))
        return nullptr;
    const int answer = LyrafoldAlert::run(
        window, LyrafoldAlert::Style::informational, QStringLiteral("Share \"%1\"").arg(displayName(entry)),
        QStringLiteral("Choose format:"),
        {QStringLiteral("PDF"), QStringLiteral("JPEG"), QStringLiteral("Cancel")});
    if (answer != 0 && answer != 1)
        return nullptr;
    return run(window, anchor, entry, annotations, answer == 0 ? Format::pdf : Format::jpeg,
               standardBuilder(), std::move(told));
}

TitleShareFlow *TitleShareFlow::run(QWidget *window, QWidget *anchor, const BookmarkEntry &entry,
                                    const std::optional<PdfEditCacheFile> &annotations, Format format,
                                    Builder builder, Told told)
{
    if (!window || isBuilding(window))
        return nullptr;
    auto *flow = new TitleShareFlow(window, anchor, entry, format);
    flow->m_told = std::move(told);
    flow->build(annotations, std::move(builder));
    return flow;
}

void TitleShareFlow::build(const std::optional<PdfEditCacheFile> &annotations, Builder builder)
{
    m_building = true;
    m_dialog = new ExportProgressDialog(m_window, QStringLiteral("Share"));
    m_dialog->setStep(m_format == Format::pdf
                          ? QStringLiteral("Building the PDF of “%1”").arg(displayName(m_entry))
                          : QStringLiteral("Making the page images of “%1”").arg(displayName(m_entry)));
    m_dialog->setBar(0, 0);
    const Hop::Receiver back(m_dialog);
    const QPointer<ExportProgressDialog> dialog(m_dialog);
    m_progress = std::make_shared<BuildProgress>([back, dialog](qint64 done, qint64 total) {
        back.post([dialog, done, total] {
            if (dialog)
                dialog->setBar(done, total);
        });
    });
    connect(m_dialog, &ExportProgressDialog::cancelled, this,
            [progress = m_progress] { progress->cancel(); });
    m_dialog->showSoon();
    Hop::run(
        this,
        [builder = std::move(builder), format = m_format, entry = m_entry, base = baseName(m_entry),
         annotations,
         progress = m_progress] { return builder(format, entry, base, annotations, progress.get()); },
        [this](const ExportResult &made) {
            m_building = false;
            m_dialog->finish();
            m_dialog->deleteLater();
            m_dialog = nullptr;
            deliver(made);
        });
}

void TitleShareFlow::deliver(const ExportResult &made)
{
    if (made.failure == ExportResult::Failure::cancelled) {
        end();
        return;
    }
    const QStringList files = made ? shareFiles(m_format, made.path) : QStringList{};
    if (files.isEmpty()) {
        QString why = bookGone;
        if (!made && made.failure != ExportResult::Failure::bookMissing)
            why += QStringLiteral("\n\n") + made.message();
        // Told once the export built on a worker has failed, whenever that is.
        LyrafoldAlert::runUnasked(m_window, LyrafoldAlert::Style::warning, cannotCreate, why);
        end();
        return;
    }
    const QPointer<QWidget> window(m_window);
    const QPointer<QWidget> anchor(popupAnchor());
    const QString path = made.path;
    const BookmarkEntry entry = m_entry;
    const Format format = m_format;
    SharePopover::show(popupAnchor(), files, [window, anchor, path, entry, format, told = m_told] {
        if (!window)
            return;
        if (format == Format::pdf)
            TitleShareSave::savePdf(window, path, entry, anchor, told);
        else
            TitleShareSave::saveImages(window, path, anchor, told);
    });
    end();
}

namespace TitleShareSave {

void savePdf(QWidget *window, const QString &pdf, const BookmarkEntry &entry, QWidget *anchor,
             const TitleShareFlow::Told &told)
{
    QFileDialog panel(window, QStringLiteral("Save PDF"));
    panel.setObjectName(QStringLiteral("savePdfPanel"));
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setNameFilter(QStringLiteral("PDF (*.pdf)"));
    panel.setDefaultSuffix(QStringLiteral("pdf"));
    panel.setDirectory(QDir::homePath());
    // Named after the title and the day of the save, cut to a length any file system takes.
    panel.selectFile(ExportNaming::fileName(TitleShareFlow::baseName(entry), QStringLiteral(".pdf")));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return;
    const QPointer<QWidget> guard(window);
    const QPointer<QWidget> near(anchor);
    const QString chosen = panel.selectedFiles().first();
    ExportFolderSave::copy(window, {{pdf, chosen}},
                           [guard, near, chosen, told](const ExportFolderSave::Report &report) {
                               if (guard)
                                   reportSave(guard, near, QStringLiteral("Could not save file"),
                                              QFileInfo(chosen).absolutePath(), report, told);
                           });
}

void saveImages(QWidget *window, const QString &folder, QWidget *anchor, const TitleShareFlow::Told &told)
{
    const QPointer<QWidget> guard(window);
    const QPointer<QWidget> near(anchor);
    ExportFolderSave::saveIntoChosenFolder(
        window, {folder},
        [guard, near, told](const ExportFolderSave::Report &report) {
            if (guard)
                reportSave(guard, near, QStringLiteral("Could not save folder"), report.folder, report, told);
        },
        QStringLiteral("Choose folder to save images"));
}

} // namespace TitleShareSave

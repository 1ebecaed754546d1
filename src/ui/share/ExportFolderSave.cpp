#include "ui/share/ExportFolderSave.h"

#include "core/common/Hop.h"
#include "ui/common/ExportProgressDialog.h"
#include "ui/common/LyrafoldAlert.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

#include <memory>

namespace {

QString &lastFolder()
{
    static QString folder;
    return folder;
}

} // namespace

namespace ExportFolderSave {

QString chooseFolder(QWidget *window, const QString &title)
{
    QFileDialog panel(window, title);
    panel.setObjectName(QStringLiteral("exportFolderPanel"));
    panel.setFileMode(QFileDialog::Directory);
    panel.setOption(QFileDialog::ShowDirsOnly);
    panel.setLabelText(QFileDialog::Accept, QStringLiteral("Save"));
    panel.setDirectory(lastFolder().isEmpty() ? QDir::homePath() : lastFolder());
    if (panel.exec() != QDialog::Accepted)
        return {};
    const QString folder = panel.selectedFiles().value(0);
    if (!folder.isEmpty())
        lastFolder() = folder;
    return folder;
}

bool confirmFolderReplace(QWidget *window, const QString &path)
{
    const QFileInfo info(path);
    return LyrafoldAlert::run(window, LyrafoldAlert::Style::warning,
                              QStringLiteral("Replace the folder “%1”?").arg(info.fileName()),
                              QStringLiteral("A folder of that name already exists in “%1”. Replacing it "
                                             "removes the files in it.")
                                  .arg(info.absolutePath()),
                              {QStringLiteral("Replace"), QStringLiteral("Cancel")}) == 0;
}

void saveIntoChosenFolder(QWidget *window, const QStringList &exports, const Done &done,
                          const QString &panelTitle, FileOperations &operations)
{
    Report report;
    report.folder = chooseFolder(window, panelTitle);
    if (report.folder.isEmpty()) {
        done(report);
        return;
    }
    QList<Copy> copies;
    for (const QString &source : exports) {
        const QFileInfo from(source);
        const QString destination = report.folder + QLatin1Char('/') + from.fileName();
        const QFileInfo existing(destination);
        if (from.isDir() && existing.isDir() && !existing.isSymLink() &&
            existing.canonicalFilePath() != from.canonicalFilePath() &&
            !confirmFolderReplace(window, destination)) {
            report.kept.append(from.fileName());
            continue;
        }
        copies.append({source, destination});
    }
    copy(
        window, copies,
        [report, done](Report copied) {
            copied.folder = report.folder;
            copied.kept = report.kept;
            done(copied);
        },
        operations);
}

void copy(QWidget *window, const QList<Copy> &copies, const Done &done, FileOperations &operations)
{
    if (copies.isEmpty()) {
        done({});
        return;
    }
    auto progress = std::make_shared<BuildProgress>();
    auto *dialog = new ExportProgressDialog(window, QStringLiteral("Saving"));
    dialog->setStep(
        QStringLiteral("Saving to “%1”…").arg(QFileInfo(copies.first().destination).absolutePath()));
    dialog->setCount(0, copies.size(), QStringLiteral("exports"));
    dialog->setBar(0, copies.size());
    QObject::connect(dialog, &ExportProgressDialog::cancelled, dialog, [progress] { progress->cancel(); });
    dialog->showSoon();
    const Hop::Receiver back(dialog);
    Hop::run(
        window,
        [copies, progress, back, dialog, &operations] {
            Report outcome;
            for (qsizetype i = 0; i < copies.size(); ++i) {
                const Copy &copy = copies.at(i);
                const QString name = QFileInfo(copy.destination).fileName();
                const Result<bool> replaced =
                    SafeReplace::replace(copy.source, copy.destination, operations, progress.get());
                if (replaced.ok()) {
                    outcome.saved.append(name);
                } else if (replaced.error().code == SafeReplace::cancelledCode) {
                    outcome.cancelled = true;
                    break;
                } else {
                    outcome.failed.append(name + QStringLiteral(": ") + replaced.error().message);
                }
                back.post([dialog, done = i + 1, total = copies.size()] {
                    dialog->setCount(done, total, QStringLiteral("exports"));
                    dialog->setBar(done, total);
                });
                if (progress->isCancelled()) {
                    outcome.cancelled = true;
                    break;
                }
            }
            return outcome;
        },
        [dialog = QPointer<ExportProgressDialog>(dialog), done](const Report &outcome) {
            if (dialog) {
                dialog->finish();
                dialog->deleteLater();
            }
            done(outcome);
        });
}

} // namespace ExportFolderSave

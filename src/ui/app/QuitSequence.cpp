#include "ui/app/QuitSequence.h"

#include "core/annotations/PdfEditCacheFile.h"
#include "core/common/AppPaths.h"
#include "core/common/Hop.h"
#include "core/common/LaunchLog.h"
#include "core/common/NotificationBus.h"
#include "core/storage/FileGuard.h"
#include "core/storage/StateFile.h"
#include "ui/common/LyrafoldAlert.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {

// The files a quit waits to see written, by path; the bookmark cache is a spare copy of the slot,
// whose own file holds the changes.
QList<StateFile::FailedWrite> failuresToTell()
{
    const QString cache = QFileInfo(AppPaths::bookmarkCachePath()).absoluteFilePath();
    QList<StateFile::FailedWrite> failures = FileGuard::failedSaves();
    failures.removeIf([&cache](const StateFile::FailedWrite &failed) { return failed.path == cache; });
    std::sort(
        failures.begin(), failures.end(),
        [](const StateFile::FailedWrite &a, const StateFile::FailedWrite &b) { return a.path < b.path; });
    return failures;
}

// A file as the user knows it: a book's annotations by the book, the others by their names (or, for
// the log, their paths).
QString fileText(const QString &path, bool whole)
{
    if (const std::optional<QString> book = PdfEditCacheCodec::bookOf(path))
        return QStringLiteral("the annotations of %1")
            .arg(whole ? QDir::toNativeSeparators(*book) : QFileInfo(*book).fileName());
    return whole ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
}

QString failureText(const StateFile::FailedWrite &failed, bool whole)
{
    return QStringLiteral("Lyrafold could not save %1: %2.").arg(fileText(failed.path, whole), failed.reason);
}

} // namespace

QuitSequence::QuitSequence(std::function<QWidget *()> mainWindow, QObject *parent)
    : QObject(parent), m_mainWindow(std::move(mainWindow))
{
    m_waiter.setMaxThreadCount(1);
}

QuitSequence::~QuitSequence() = default;

void QuitSequence::request(Asker asker)
{
    if (m_stage != Stage::idle) {
        // Asked again while the saves are awaited (a folder that does not answer, say) or a failure is
        // told: the user or the system wants the program gone now. A save cut short leaves the file as it
        // was, and its temporary file is removed at the next start.
        logToFile(QStringLiteral("Quit asked again while saving: ending now"));
        std::fflush(stderr);
        ::_exit(1);
    }
    m_stage = Stage::writing;
    m_asker = asker;
    Q_EMIT NotificationBus::instance().quitting();
    // Every save that failed before is tried once more now, rather than after its back-off.
    FileGuard::retryFailedSavesNow();
    m_hidden.clear();
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            m_hidden.append(window);
            window->hide();
        }
    }
    awaitWrites();
}

void QuitSequence::awaitWrites()
{
    Hop::run(
        this, [] { StateFile::waitForAllPendingWrites(); }, [this] { writesDone(); }, &m_waiter);
}

void QuitSequence::writesDone()
{
    // What the writes told on their way back may have asked for more.
    if (StateFile::hasPendingWrites()) {
        awaitWrites();
        return;
    }
    // A guard that found another version of its file takes it and writes again, or waits for a file
    // that went missing or does not decode to stay so, then writes what its owner holds: as while
    // Lyrafold runs, nothing of it is dropped. The versions the saves swapped out are looked at now.
    FileGuard::lookAtKeptVersionsNow();
    if (!FileGuard::allAtRest()) {
        FileGuard::whenAllAtRest(this, [this] { awaitWrites(); });
        return;
    }
    const QList<StateFile::FailedWrite> failures = failuresToTell();
    if (failures.isEmpty()) {
        QCoreApplication::exit(0);
        return;
    }
    if (m_asker == Asker::system) {
        for (const StateFile::FailedWrite &failed : failures)
            logToFile(failureText(failed, true));
        QCoreApplication::exit(1);
        return;
    }
    tellUser(failures);
}

void QuitSequence::tellUser(const QList<StateFile::FailedWrite> &failures)
{
    m_stage = Stage::telling;
    // The main window first, what was open over it next, the quit's own alert last, above them all.
    QWidget *window = m_mainWindow ? m_mainWindow() : nullptr;
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
    }
    showHiddenWindows();
    // One line a file, by what the user knows it as; where the files are below them.
    QStringList lines;
    QStringList folders;
    for (const StateFile::FailedWrite &failed : failures) {
        lines.append(failureText(failed, false));
        const QString folder = QDir::toNativeSeparators(QFileInfo(failed.path).absolutePath());
        if (!folders.contains(folder))
            folders.append(folder);
        logLaunch(failureText(failed, true));
    }
    const QString where =
        failures.size() == 1 ? QStringLiteral("The file is in %1.").arg(folders.first())
                             : QStringLiteral("The files are in %1.").arg(folders.join(QStringLiteral(", ")));
    // What the user can do about it: a lock another Lyrafold keeps goes with that Lyrafold, not with room.
    const bool lockedOnly =
        std::all_of(failures.cbegin(), failures.cend(),
                    [](const StateFile::FailedWrite &f) { return f.reason == FileGuard::lockedReason(); });
    const QString remedy = lockedOnly ? QStringLiteral("quit the other Lyrafold")
                                      : QStringLiteral("make room or mend the folder");
    const int answer = LyrafoldAlert::run(
        window, LyrafoldAlert::Style::warning, lines.join(QLatin1Char('\n')),
        where +
            QStringLiteral("\n\nYour changes are still in Lyrafold. Cancel keeps it open, so that you can "
                           "%1 and quit again; Quit Anyway ends it without them.")
                .arg(remedy),
        {QStringLiteral("Cancel"), QStringLiteral("Quit Anyway")});
    if (answer == 1) {
        QCoreApplication::exit(0);
        return;
    }
    m_stage = Stage::idle;
    Q_EMIT NotificationBus::instance().quitCancelled();
    // The keys go to the window again (Ctrl+Q among them), whatever had them before the quit.
    if (window)
        window->activateWindow();
}

void QuitSequence::showHiddenWindows()
{
    // The windows, then the dialogs, so that none is left under the window it belongs to.
    const QList<QPointer<QWidget>> hidden = std::exchange(m_hidden, {});
    for (const bool dialogs : {false, true}) {
        for (const QPointer<QWidget> &window : hidden) {
            if (window && (window->windowType() == Qt::Dialog) == dialogs) {
                window->show();
                window->raise();
            }
        }
    }
}

#include "ui/app/QuitSequence.h"

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
    QList<StateFile::FailedWrite> failures = StateFile::failedWrites();
    failures.removeIf([&cache](const StateFile::FailedWrite &failed) { return failed.path == cache; });
    std::sort(
        failures.begin(), failures.end(),
        [](const StateFile::FailedWrite &a, const StateFile::FailedWrite &b) { return a.path < b.path; });
    return failures;
}

QString failureText(const QString &file, const QString &reason)
{
    return QStringLiteral("Lyrafold could not save %1: %2.").arg(file, reason);
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
    // A save that failed before is tried once more now, rather than after its back-off.
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
    const QList<StateFile::FailedWrite> failures = failuresToTell();
    if (failures.isEmpty()) {
        QCoreApplication::exit(0);
        return;
    }
    if (m_asker == Asker::system) {
        for (const StateFile::FailedWrite &failed : failures)
            logToFile(failureText(QDir::toNativeSeparators(failed.path), failed.reason));
        QCoreApplication::exit(1);
        return;
    }
    tellUser(failures);
}

void QuitSequence::tellUser(const QList<StateFile::FailedWrite> &failures)
{
    m_stage = Stage::telling;
    showHiddenWindows();
    QWidget *window = m_mainWindow ? m_mainWindow() : nullptr;
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
    }
    // One line a file, by its name; where the files are below them.
    QStringList lines;
    QStringList folders;
    for (const StateFile::FailedWrite &failed : failures) {
        const QFileInfo file(failed.path);
        lines.append(failureText(file.fileName(), failed.reason));
        const QString folder = QDir::toNativeSeparators(file.absolutePath());
        if (!folders.contains(folder))
            folders.append(folder);
        logLaunch(failureText(QDir::toNativeSeparators(failed.path), failed.reason));
    }
    const QString where =
        folders.size() == 1 ? QStringLiteral("The file is in %1.").arg(folders.first())
                            : QStringLiteral("The files are in %1.").arg(folders.join(QStringLiteral(", ")));
    const int answer = LyrafoldAlert::run(
        window, LyrafoldAlert::Style::warning, lines.join(QLatin1Char('\n')),
        where +
            QStringLiteral("\n\nYour changes are still in Lyrafold. Cancel keeps it open, so that you can "
                           "make room or mend the folder and quit again; Quit Anyway ends it without them."),
        {QStringLiteral("Cancel"), QStringLiteral("Quit Anyway")});
    if (answer == 1) {
        QCoreApplication::exit(0);
        return;
    }
    m_stage = Stage::idle;
    Q_EMIT NotificationBus::instance().quitCancelled();
}

void QuitSequence::showHiddenWindows()
{
    for (const QPointer<QWidget> &window : std::exchange(m_hidden, {})) {
        if (window)
            window->show();
    }
}

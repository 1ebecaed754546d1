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

#include <cstdio>

#include <unistd.h>

namespace {

// The files a quit waits to see written; the bookmark cache is a spare copy of the slot, whose own file
// holds the changes.
QStringList failuresToTell()
{
    const QString cache = QFileInfo(AppPaths::bookmarkCachePath()).absoluteFilePath();
    QStringList failures;
    for (const StateFile::FailedWrite &failed : StateFile::failedWrites()) {
        if (failed.path == cache)
            continue;
        failures.append(QStringLiteral("Lyrafold could not save %1: %2.")
                            .arg(QDir::toNativeSeparators(failed.path), failed.reason));
    }
    failures.sort();
    return failures;
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
    const QStringList failures = failuresToTell();
    if (failures.isEmpty()) {
        QCoreApplication::exit(0);
        return;
    }
    if (m_asker == Asker::system) {
        for (const QString &failure : failures)
            logToFile(failure);
        QCoreApplication::exit(1);
        return;
    }
    tellUser(failures);
}

void QuitSequence::tellUser(const QStringList &failures)
{
    m_stage = Stage::telling;
    showHiddenWindows();
    QWidget *window = m_mainWindow ? m_mainWindow() : nullptr;
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
    }
    for (const QString &failure : failures)
        logLaunch(failure);
    const int answer = LyrafoldAlert::run(
        window, LyrafoldAlert::Style::warning, failures.join(QLatin1Char('\n')),
        QStringLiteral(
            "Your changes are still in Lyrafold. Cancel keeps it open, so that you can make room or "
            "mend the folder and quit again; Quit Anyway ends it without them."),
        {QStringLiteral("Cancel"), QStringLiteral("Quit Anyway")});
    if (answer == 1) {
        QCoreApplication::exit(0);
        return;
    }
    m_stage = Stage::idle;
}

void QuitSequence::showHiddenWindows()
{
    for (const QPointer<QWidget> &window : std::exchange(m_hidden, {})) {
        if (window)
            window->show();
    }
}

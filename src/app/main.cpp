#include "core/common/AppPaths.h"
#include "core/common/AppSettings.h"
#include "core/common/LaunchLog.h"
#include "core/common/MemoryTrim.h"
#include "core/session/LibrarySession.h"
#include "core/storage/StateFile.h"
#include "pdf/view/RetiredThreads.h"
#include "platform/desktop/SingleInstance.h"
#include "ui/app/AppDelegate.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldButtonEffects.h"
#include "ui/common/LyrafoldTheme.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    MemoryTrim::configureAllocator();
    std::fputs("LyrafoldMac process started (static init)\n", stderr);
    std::fflush(stderr);
    logStart(QStringLiteral("0 main entered"));

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lyrafold"));
    QApplication::setApplicationName(QStringLiteral("Lyrafold"));
    QGuiApplication::setDesktopFileName(QStringLiteral("lyrafold"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("lyrafold")));
    LyrafoldTheme::installFocusRings();
    // Renders that closed viewers gave up end before the PDF libraries go. The viewers still open at Quit
    // close only with the application's objects, after the event loop: this runs as the last of them go.
    qAddPostRoutine(&RetiredThreads::waitForAll);
    logStart(QStringLiteral("1 NSApplication.shared done"));

    // The desktop hands over the files to open as arguments (Exec=lyrafold %F).
    QStringList paths;
    for (const QString &argument : QCoreApplication::arguments().mid(1))
        paths.append(QFileInfo(argument).absoluteFilePath());
    // A data folder whose path does not decode would be replaced by another, empty one: the user's
    // library would look lost, and new saves would go where the user never looks. One the system does
    // not let the user read would open as an empty library too. Either is told before anything is written.
    const auto cannotUse = [](const QString &reason) {
        std::fputs(
            qPrintable(QStringLiteral("Lyrafold cannot use its data folder. ") + reason + QLatin1Char('\n')),
            stderr);
        std::fflush(stderr);
        LyrafoldAlert::run(nullptr, LyrafoldAlert::Style::warning,
                           QStringLiteral("Lyrafold cannot use its data folder."), reason,
                           {QStringLiteral("Quit")});
        return 1;
    };
    if (const std::optional<QString> folder = AppPaths::undecodableDataFolder())
        return cannotUse(
            QStringLiteral("Its path, %1, is not valid UTF-8 (the bytes shown as \\xNN), and Lyrafold reads "
                           "every path as UTF-8. Rename the folder, or set XDG_DATA_HOME to a folder whose "
                           "path is valid UTF-8, then open Lyrafold again.")
                .arg(*folder));
    if (const std::optional<AppPaths::Refused> refused = AppPaths::refusedStateFolder())
        return cannotUse(QStringLiteral("The system does not let Lyrafold open %1: %2. Give your user the "
                                        "right to read it (and to enter a folder), then open Lyrafold again.")
                             .arg(QDir::toNativeSeparators(refused->path), refused->reason.toLower()));
    // A running instance that does not answer still writes the playlists and slots: this start never
    // runs beside it. The user waits for it (another attempt) or quits.
    SingleInstance instance;
    SingleInstance::Role role = instance.claim(paths);
    while (role == SingleInstance::Role::NotAnswering) {
        const int answer = LyrafoldAlert::run(
            nullptr, LyrafoldAlert::Style::warning,
            QStringLiteral("Lyrafold is already running and not answering."),
            QStringLiteral("Wait for it to answer, or quit and open Lyrafold again later."),
            {QStringLiteral("Wait"), QStringLiteral("Quit")});
        if (answer != 0)
            return 0;
        role = instance.claim(paths);
    }
    if (role == SingleInstance::Role::Forwarded)
        return 0;
    // Another Lyrafold that this start cannot reach writes the same library: a second writer would
    // undo its saves with every save of its own.
    if (role == SingleInstance::Role::DataInUse) {
        const QString holder = instance.dataHolder() > 0
                                   ? QStringLiteral(" (process %1)").arg(instance.dataHolder())
                                   : QString();
        LyrafoldAlert::run(nullptr, LyrafoldAlert::Style::warning,
                           QStringLiteral("Lyrafold is already running."),
                           QStringLiteral("Another Lyrafold%1 is using your library in %2. Quit it, then "
                                          "open Lyrafold again.")
                               .arg(holder, QDir::toNativeSeparators(AppPaths::applicationSupportDir())),
                           {QStringLiteral("Quit")});
        return 0;
    }

    // Saves cut short by a crash may have left their temporary files; none of ours runs yet.
    for (const QString &folder : AppPaths::stateFolders())
        StateFile::removeInterruptedSaves(folder);
    // A settings file holding a token that an earlier version left readable to others is made private.
    AppSettings::keepTokensPrivate();

    AppDelegate delegate;
    delegate.setButtonEffectsInstaller(&LyrafoldButtonEffects::install);
    QObject::connect(&instance, &SingleInstance::launchedAgain, &delegate, &AppDelegate::handleLaunchedAgain);
    // Scripted starts (the start-up test and benchmark) leave through the Quit item once the window has
    // settled, after the milliseconds the variable gives.
    if (qEnvironmentVariableIsSet("LYRAFOLD_QUIT_AFTER_LAUNCH")) {
        const int delay = std::max(0, qEnvironmentVariableIntValue("LYRAFOLD_QUIT_AFTER_LAUNCH"));
        QObject::connect(&delegate, &AppDelegate::mainWindowSettled, &delegate, [&delegate, delay] {
            // Precise: a coarse timer may fire 5 % early, two seconds of a benchmark's forty.
            QTimer::singleShot(delay, Qt::PreciseTimer, &delegate, [&delegate] {
                if (QAction *quit = delegate.quitAction())
                    quit->trigger();
            });
        });
    }

    logToFile(QStringLiteral("2 about to run"));
    QTimer::singleShot(0, &delegate, [&delegate, &paths] { delegate.launch(paths); });
    // The quit sequence has written the saves by the time the event loop ends (what the windows write as
    // they close still comes), and tells a failure by the status.
    const int status = app.exec();
    LibrarySession::waitForPendingSaves();
    return status;
}

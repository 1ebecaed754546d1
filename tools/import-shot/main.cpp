// lyrafold-import-shot: opens the main window on the user's library (the profile the environment
// names) and hands it files as a drop on the window would, so that scripts/library-screenshots.sh can
// photograph the import forms and what the import makes of the files.
//
//   lyrafold-import-shot --file PATH [--file PATH ...] [--playlist NAME]
//
// Prints "asked" once the files are handed over.

#include "ui/app/AppContext.h"
#include "ui/common/StatusLine.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/MainWindowController.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("file"), QStringLiteral("A file to import (repeatable)."), QStringLiteral("path")});
    parser.addOption({QStringLiteral("playlist"), QStringLiteral("The playlist the files are for."),
                      QStringLiteral("name")});
    parser.process(app);

    AppContext context;
    MainWindowController window(context);
    window.show();
    std::optional<QString> playlist;
    if (parser.isSet(QStringLiteral("playlist")))
        playlist = parser.value(QStringLiteral("playlist"));
    const QStringList files = parser.values(QStringLiteral("file"));
    QTimer::singleShot(1000, &window, [&context, &window, files, playlist] {
        std::printf("asked\n");
        std::fflush(stdout);
        auto *status = window.findChild<StatusLine *>(QStringLiteral("statusField"));
        context.libraryFlows().importImagesAndPDFs(*status, files, playlist);
    });
    return app.exec();
}

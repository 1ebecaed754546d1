// lyrafold-share-shot: shows one of the shared export dialogs over a small stand-in window and prints
// "ready" once it is on screen, so that scripts/share-screenshots.sh can photograph the screen.
//
//   lyrafold-share-shot --scene options|progress|cancelling|popover|replace|build [--pdf BOOK]
//                       [--language en|tr|es]
//
// options: the "Share Playlist" dialog as it opens. progress: the progress dialog of a playlist
// export part-way through its first step; cancelling: the same after Cancel. popover: the
// share-or-save popup under the window's Share button. replace: the question before an existing
// folder of images is replaced. build: a real export of the book's first 12 outline titles as PDF and
// page images, photographed once the third title is done; it prints "built" with the files made when
// the popup shows. --language sets the interface language, which is stored in the
// settings: give the tool settings of its own (XDG_CONFIG_HOME).

#include "pdf/extract/PdfBookmarkExtractor.h"
#include "ui/common/ExportProgressDialog.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/share/ExportFolderSave.h"
#include "ui/share/PlaylistShareFlow.h"
#include "ui/share/PlaylistShareOptionsDialog.h"
#include "ui/share/SharePopover.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

void sayReadySoon(QObject *context)
{
    QTimer::singleShot(500, context, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lyrafold"));
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("scene"), QStringLiteral("options, progress, cancelling, popover or replace."),
         QStringLiteral("scene"), QStringLiteral("options")},
        {QStringLiteral("language"), QStringLiteral("en, tr or es."), QStringLiteral("code")},
        {QStringLiteral("pdf"), QStringLiteral("The book the build scene exports."), QStringLiteral("path")},
    });
    parser.process(app);
    if (parser.isSet(QStringLiteral("language"))) {
        if (const auto language =
                LyrafoldLanguageService::languageFromRawValue(parser.value(QStringLiteral("language"))))
            LyrafoldLanguageService::setCurrent(*language);
    }
    const QString scene = parser.value(QStringLiteral("scene"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Playlists"));
    auto *layout = new QVBoxLayout(&window);
    auto *row = new QHBoxLayout;
    auto *share = new QPushButton(QStringLiteral("Share Playlist"));
    row->addStretch(1);
    row->addWidget(share);
    layout->addLayout(row);
    layout->addWidget(new QLabel(QStringLiteral("Sunday Session — 12 titles")), 1, Qt::AlignCenter);
    window.resize(900, 600);
    window.move(100, 80);
    window.show();

    if (scene == QLatin1String("options")) {
        QTimer::singleShot(0, &window, [&window] {
            sayReadySoon(&window);
            PlaylistShareOptionsDialog::run(&window);
        });
    } else if (scene == QLatin1String("progress") || scene == QLatin1String("cancelling")) {
        auto *dialog = new ExportProgressDialog(&window, QStringLiteral("Share Playlist"));
        using LyrafoldLanguageService::localized;
        dialog->setStep(localized(QStringLiteral("%1 (%2 of %3)"))
                            .arg(localized(QStringLiteral("Building the PDF")), QStringLiteral("1"),
                                 QStringLiteral("3")));
        dialog->setCount(4, 12);
        dialog->setBar(13, 38);
        dialog->show();
        if (scene == QLatin1String("cancelling"))
            QTimer::singleShot(100, dialog, [dialog] { dialog->reject(); });
        sayReadySoon(dialog);
    } else if (scene == QLatin1String("popover")) {
        QTimer::singleShot(300, &window, [&window, share] {
            SharePopover::show(share, {QDir::tempPath() + QStringLiteral("/Sunday Session_2024-05-01.pdf")},
                               [] {});
            sayReadySoon(&window);
        });
    } else if (scene == QLatin1String("replace")) {
        QTimer::singleShot(0, &window, [&window] {
            sayReadySoon(&window);
            ExportFolderSave::confirmFolderReplace(
                &window, QDir::homePath() + QStringLiteral("/Music/Sunday Session_2024-05-01_images"));
        });
    } else if (scene == QLatin1String("build")) {
        QList<PlaylistItem> items;
        for (const BookmarkEntry &title :
             PdfBookmarkExtractor::extractBookmarks(parser.value(QStringLiteral("pdf"))).mid(0, 12))
            items.append(PlaylistItem::fromBookmark(title));
        PlaylistShareOptions options;
        options.exportJPEG = true;
        QTimer::singleShot(300, &window, [&window, share, items, options] {
            PlaylistShareFlow::runForTesting(&window, share, items, QStringLiteral("Sunday Session"),
                                             options);
        });
        auto *poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&window, poll] {
            if (const auto *count = window.findChild<QLabel *>(QStringLiteral("exportProgressCount"));
                count && count->text().startsWith(QLatin1String("3 of"))) {
                std::puts("ready");
                std::fflush(stdout);
            }
            if (window.findChild<QFrame *>(QStringLiteral("shareOrSavePopover"))) {
                std::puts("built");
                std::fflush(stdout);
                poll->stop();
            }
        });
        poll->start(20);
    } else {
        std::fprintf(stderr, "unknown scene: %s\n", qPrintable(scene));
        return 2;
    }
    return app.exec();
}

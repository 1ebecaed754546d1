// lyrafold-viewer-shot: opens one book in the PDF viewer the way the library opens a song (with the
// book's outline titles as its library titles), puts it into a display mode and prints "ready" once
// every visible page is drawn, so that scripts/viewer-screenshots.sh can photograph the screen.
//
//   lyrafold-viewer-shot --pdf BOOK.pdf [--page N] [--playlist N] [--size WIDTHxHEIGHT]
//                        [--mode single|two-page|presentation|presentation-and-back]
//                        [--maximized] [--study] [--overflow-menu] [--language en|tr|es]
//
// --playlist N plays the outline's first N titles as a list, opened at the title of --page.
// presentation-and-back enters presentation mode and leaves it again. --maximized shows the window
// maximized, --study places it as study mode does, --overflow-menu opens the toolbar's overflow menu.
// --language sets the interface language, which is stored in the settings: give the tool settings of
// its own (XDG_CONFIG_HOME).

#include "pdf/extract/PdfBookmarkExtractor.h"
#include "ui/app/AppContext.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/viewer/ViewerToolbarRow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace {

void waitUntilSettled(PdfViewerWindowController *viewer, std::function<void()> then)
{
    // The delayed fit of showWindow() and the renders it asks for come first.
    QTimer::singleShot(PdfViewerWindowController::fitDelayAfterShowMs + 400, viewer, [viewer, then] {
        PdfPageView *view = viewer->pdfView();
        if (view->imagesComplete()) {
            then();
            return;
        }
        QObject::connect(view, &PdfPageView::imagesCompleted, viewer, then, Qt::SingleShotConnection);
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lyrafold"));
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("pdf"), QStringLiteral("The book."), QStringLiteral("path")},
        {QStringLiteral("page"), QStringLiteral("The page, from 1."), QStringLiteral("number"),
         QStringLiteral("1")},
        {QStringLiteral("mode"), QStringLiteral("single, two-page or presentation."), QStringLiteral("mode"),
         QStringLiteral("single")},
        {QStringLiteral("playlist"), QStringLiteral("Play the first N outline titles."), QStringLiteral("N"),
         QStringLiteral("0")},
        {QStringLiteral("size"), QStringLiteral("The window size."), QStringLiteral("WxH"),
         QStringLiteral("1100x850")},
        {QStringLiteral("maximized"), QStringLiteral("Maximize the window.")},
        {QStringLiteral("study"), QStringLiteral("Place the window as study mode does.")},
        {QStringLiteral("overflow-menu"), QStringLiteral("Open the toolbar's overflow menu.")},
        {QStringLiteral("language"), QStringLiteral("The interface language."), QStringLiteral("code")},
    });
    parser.process(app);
    if (parser.isSet(QStringLiteral("language"))) {
        const std::optional<LyrafoldLanguage> language =
            LyrafoldLanguageService::languageFromRawValue(parser.value(QStringLiteral("language")));
        if (language)
            LyrafoldLanguageService::setCurrent(*language);
    }
    const QString path = QFileInfo(parser.value(QStringLiteral("pdf"))).absoluteFilePath();
    const qint64 page = parser.value(QStringLiteral("page")).toLongLong();
    const QString mode = parser.value(QStringLiteral("mode"));
    const int playlistLength = parser.value(QStringLiteral("playlist")).toInt();
    const QStringList size = parser.value(QStringLiteral("size")).split(QLatin1Char('x'));

    const BookmarkList titles = PdfBookmarkExtractor::extractBookmarks(path);
    std::optional<BookmarkEntry> opened;
    for (const BookmarkEntry &title : titles) {
        if (title.pageNumber == page)
            opened = title;
    }
    std::optional<QList<PlaylistItem>> playlist;
    qint64 playlistIndex = 0;
    if (playlistLength > 0) {
        BookmarkList byPage = titles;
        std::stable_sort(byPage.begin(), byPage.end(), [](const BookmarkEntry &a, const BookmarkEntry &b) {
            return a.pageNumber < b.pageNumber;
        });
        playlist.emplace();
        for (const BookmarkEntry &title : byPage.mid(0, playlistLength)) {
            if (opened && title.id() == opened->id())
                playlistIndex = playlist->size();
            playlist->append(PlaylistItem::fromBookmark(title));
        }
    }

    AppContext context;
    auto *viewer = new PdfViewerWindowController(context, path, page, opened, playlist, playlistIndex, titles);
    if (size.size() == 2)
        viewer->resize(size[0].toInt(), size[1].toInt());
    viewer->showWindow();
    if (parser.isSet(QStringLiteral("maximized")))
        viewer->showMaximized();
    if (parser.isSet(QStringLiteral("study")) && viewer->screen())
        viewer->placeFrame(MainWindowController::studyModeViewerFrame(viewer->screen()->availableGeometry()));
    const bool overflowMenu = parser.isSet(QStringLiteral("overflow-menu"));
    QTimer::singleShot(
        PdfViewerWindowController::fitDelayAfterShowMs + 50, viewer, [viewer, mode, overflowMenu] {
            if (mode == QStringLiteral("two-page"))
                viewer->twoPage();
            else if (mode.startsWith(QStringLiteral("presentation"))) {
                viewer->enterPresentationMode();
                // A bare X server has no window manager to make the window full screen; do its part.
                QTimer::singleShot(300, viewer, [viewer] {
                    QScreen *screen = viewer->screen();
                    if (screen && viewer->geometry() != screen->geometry())
                        viewer->setGeometry(screen->geometry());
                });
                if (mode == QStringLiteral("presentation-and-back"))
                    QTimer::singleShot(800, viewer, [viewer] { viewer->exitPresentationMode(); });
            }
            const int settle = mode == QStringLiteral("presentation-and-back") ? 1500 : 0;
            QTimer::singleShot(settle, viewer, [viewer, overflowMenu] {
                waitUntilSettled(viewer, [viewer, overflowMenu] {
                    const auto ready = [] {
                        std::puts("ready");
                        std::fflush(stdout);
                    };
                    if (!overflowMenu) {
                        ready();
                        return;
                    }
                    // The menu runs until it is closed; it is drawn by the time this fires.
                    QTimer::singleShot(300, viewer, ready);
                    viewer->toolbarRow()->overflowButton()->showMenu();
                });
            });
        });
    return app.exec();
}

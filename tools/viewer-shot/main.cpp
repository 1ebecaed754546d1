// lyrafold-viewer-shot: opens one book in the PDF viewer the way the library opens a song (with the
// book's outline titles as its library titles), puts it into a display mode and prints "ready" once
// every visible page is drawn, so that scripts/viewer-screenshots.sh can photograph the screen.
//
//   lyrafold-viewer-shot --pdf BOOK.pdf [--page N] [--playlist N] [--size WIDTHxHEIGHT]
//                        [--mode single|two-page|presentation|presentation-and-back]
//                        [--maximized] [--study] [--overflow-menu] [--language en|tr|es]
//                        [--zoom FACTOR] [--draw] [--edit] [--export FILE.pdf] [--share]
//                        [--add-to-playlist N] [--study-viewers N] [--controls FILE]
//                        [--text-prompt]
//
// --playlist N plays the outline's first N titles as a list, opened at the title of --page.
// presentation-and-back enters presentation mode and leaves it again. --maximized shows the window
// maximized, --study places it as study mode does, --overflow-menu opens the toolbar's overflow menu.
// --language sets the interface language, which is stored in the settings: give the tool settings of
// its own (XDG_CONFIG_HOME).
//
// --draw draws on the page in view as a user does, with the mouse: a pen line, a highlighter stroke
// and a text note. The annotations are kept in the book's annotation file (give the tool a data folder
// of its own: XDG_DATA_HOME), so a later run shows them. --edit leaves the viewer in edit mode with its
// palette, --zoom zooms past the fit, and --export writes the title as the viewer shares it (with the
// annotations it shows) to FILE.pdf. --share presses "Share", answers PDF and shows the popup that
// offers the export. --add-to-playlist makes N playlists and presses "+", whose choice is shown.
// --study-viewers opens the book N times in turn with study mode on, as the library opens songs (each
// viewer closes the one before); the last one is shown, and the provider's page is not opened.
// --controls keeps FILE listing the buttons, text fields and labels on screen, in every window, dialog
// and tool tip, one a line: text, object name, the centre in screen coordinates and the window (its
// object name, else its class), separated by tabs; a script that clicks through the viewer with
// xdotool finds them there.
// --text-prompt clicks the page with the text tool, so that the note's prompt is shown.

#include "core/common/AppSettings.h"
#include "core/session/LibrarySession.h"
#include "core/session/SongOpening.h"
#include "core/share/ExportNaming.h"
#include "core/viewer/ViewerSession.h"
#include "pdf/extract/PdfBookmarkExtractor.h"
#include "pdf/share/PlaylistShareService.h"
#include "ui/app/AppContext.h"
#include "ui/common/WindowPlacement.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfEditToolPalette.h"
#include "ui/viewer/PdfPageView.h"
#include "ui/viewer/PdfViewerWindowController.h"
#include "ui/viewer/ViewerAnnotationEditor.h"
#include "ui/viewer/ViewerToolbarRow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace {

// Takes the provider pages study mode opens, so that no browser starts.
class UrlSink : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl &) {}
};

// The viewer fits its page a quarter of a second after it shows; the tool waits for that first.
constexpr int viewerFitDelayMs = 250;

PdfPageView *pageView(const PdfViewerWindowController *viewer)
{
    return viewer->findChild<PdfPageView *>();
}

// Presses a control of the viewer, found by its object name, as the user does.
void press(const PdfViewerWindowController *viewer, const char *name)
{
    if (auto *button = viewer->findChild<QAbstractButton *>(QLatin1String(name)))
        button->click();
    else
        std::fprintf(stderr, "no control %s\n", name);
}

// A pinch on the page: the scale times (1 + magnification).
void pinch(PdfViewerWindowController *viewer, double magnification)
{
    QWidget *area = pageView(viewer)->viewport();
    const QPointF middle = QRectF(area->rect()).center();
    QNativeGestureEvent event(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, middle,
                              middle, area->mapToGlobal(middle), magnification, QPointF(), 0);
    QApplication::sendEvent(area, &event);
}

ViewerAnnotationEditor *editor(const PdfViewerWindowController *viewer)
{
    return viewer->findChild<ViewerAnnotationEditor *>();
}

// The edit mode's palette, while the viewer is in edit mode.
PdfEditInspectorView *palette(const PdfViewerWindowController *viewer)
{
    return viewer->findChild<PdfEditInspectorView *>();
}

void waitUntilSettled(PdfViewerWindowController *viewer, std::function<void()> then)
{
    // The delayed fit of showWindow() and the renders it asks for come first.
    QTimer::singleShot(viewerFitDelayMs + 400, viewer, [viewer, then] {
        PdfPageView *view = pageView(viewer);
        if (view->shownForTesting().imagesComplete) {
            then();
            return;
        }
        QObject::connect(view, &PdfPageView::imagesCompletedForTesting, viewer, then,
                         Qt::SingleShotConnection);
    });
}

void mouse(QWidget *target, QEvent::Type type, const QPointF &at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A drag through the points, given as fractions of the page's width and height.
void drag(PdfViewerWindowController *viewer, int page, const QList<QPointF> &points)
{
    QWidget *area = pageView(viewer)->viewport();
    const QRectF rect = pageView(viewer)->shownForTesting().pageRects.value(page);
    const auto at = [&](const QPointF &f) {
        return rect.topLeft() + QPointF(f.x() * rect.width(), f.y() * rect.height());
    };
    mouse(area, QEvent::MouseButtonPress, at(points.first()), Qt::LeftButton);
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF from = points[i - 1];
        const QPointF to = points[i];
        for (int step = 1; step <= 8; ++step)
            mouse(area, QEvent::MouseMove, at(from + (to - from) * (step / 8.0)), Qt::LeftButton);
    }
    mouse(area, QEvent::MouseButtonRelease, at(points.last()), Qt::NoButton);
}

// The user's sample: a pen line under the first system, the highlighter over a bar, a note above.
void drawSample(PdfViewerWindowController *viewer)
{
    const int page = pageView(viewer)->visiblePages().first();
    QList<QPointF> wave;
    for (int i = 0; i <= 12; ++i)
        wave.append(QPointF(0.15 + i * 0.05, 0.30 + (i % 2 ? 0.012 : -0.012)));
    drag(viewer, page, wave);
    palette(viewer)->highlighterButton()->click();
    drag(viewer, page, {{0.12, 0.415}, {0.55, 0.415}});
    drag(viewer, page, {{0.12, 0.47}, {0.55, 0.47}});
    palette(viewer)->textButton()->click();
    // The note's prompt is modal: it is answered once it is up.
    QTimer::singleShot(200, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QLineEdit *>()->setText(QStringLiteral("  Verse 2: softly  "));
        dialog->accept();
    });
    QWidget *area = pageView(viewer)->viewport();
    const QRectF rect = pageView(viewer)->shownForTesting().pageRects.value(page);
    const QPointF note = rect.topLeft() + QPointF(0.62 * rect.width(), 0.22 * rect.height());
    mouse(area, QEvent::MouseButtonPress, note, Qt::LeftButton);
    mouse(area, QEvent::MouseButtonRelease, note, Qt::NoButton);
}

void shareAsPdf(PdfViewerWindowController *viewer)
{
    // The format question is modal: it is answered once it is up.
    QTimer::singleShot(300, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == QStringLiteral("PDF"))
                    button->click();
            }
        }
    });
    press(viewer, "shareButton");
}

// The buttons and text fields on screen now, with their centres.
void listControls(const QString &file)
{
    QByteArray text;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        QList<QWidget *> controls = {window};
        controls += window->findChildren<QWidget *>();
        for (QWidget *control : std::as_const(controls)) {
            const auto *button = qobject_cast<QAbstractButton *>(control);
            const auto *field = qobject_cast<QLineEdit *>(control);
            const auto *label = qobject_cast<QLabel *>(control);
            // A dialog over the window is listed as a window of its own.
            if (!control->isVisible() || !(button || field || label) || control->window() != window)
                continue;
            const QString shown = button ? button->text() : field ? field->text() : label->text();
            const QPoint centre = control->mapToGlobal(control->rect().center());
            const QString windowName = window->objectName().isEmpty()
                                           ? QString::fromLatin1(window->metaObject()->className())
                                           : window->objectName();
            text += QStringList{QString(shown).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                                control->objectName(), QString::number(centre.x()),
                                QString::number(centre.y()), windowName}
                        .join(QLatin1Char('\t'))
                        .toUtf8() +
                    '\n';
        }
    }
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(text);
        out.commit();
    }
}

// Writes the title as the viewer shares it: what the viewer holds for the book, drawn into its pages.
bool exportTitle(PdfViewerWindowController *viewer, const ViewerSession &session, const QString &target)
{
    const PdfDocumentPtr &book = pageView(viewer)->document();
    const BookmarkEntry entry =
        session.currentShareBookmarkEntry(book ? std::optional<int>(book->pageCount()) : std::nullopt);
    const ExportResult made = PlaylistShareService::buildSingleBookmarkPDF(
        entry, ExportNaming::datedStem(entry.title), editor(viewer)->annotations().document().pages());
    QFile::remove(target);
    return made && QFile::copy(made.path, target);
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
        {QStringLiteral("zoom"), QStringLiteral("Zoom past the fit."), QStringLiteral("factor"),
         QStringLiteral("1")},
        {QStringLiteral("draw"), QStringLiteral("Draw a sample on the page.")},
        {QStringLiteral("edit"), QStringLiteral("Stay in edit mode.")},
        {QStringLiteral("export"), QStringLiteral("Export the title."), QStringLiteral("file")},
        {QStringLiteral("share"), QStringLiteral("Share the title as a PDF.")},
        {QStringLiteral("add-to-playlist"), QStringLiteral("Press + with N playlists."), QStringLiteral("N")},
        {QStringLiteral("study-viewers"), QStringLiteral("Open N viewers in turn in study mode."),
         QStringLiteral("N")},
        {QStringLiteral("focus"), QStringLiteral("The control that has the keyboard focus, by object name."),
         QStringLiteral("name")},
        {QStringLiteral("controls"), QStringLiteral("Keep a list of the controls on screen."),
         QStringLiteral("file")},
        {QStringLiteral("text-prompt"), QStringLiteral("Show the prompt of a text note.")},
    });
    parser.process(app);
    if (parser.isSet(QStringLiteral("controls"))) {
        auto *lister = new QTimer(&app);
        QObject::connect(lister, &QTimer::timeout, &app,
                         [file = parser.value(QStringLiteral("controls"))] { listControls(file); });
        lister->start(200);
    }
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
    const int studyViewers = parser.value(QStringLiteral("study-viewers")).toInt();
    if (studyViewers > 0) {
        UrlSink urls;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &urls, "open");
        AppSettings::setValue(AppSettings::studyModeEnabledKey, true);
        ViewerOpenRequest request;
        request.pdfPath = path;
        request.pageNumber = page;
        request.bookmarkEntry = opened;
        request.sourcePdfBookmarks = titles;
        PdfViewerWindowController *study = nullptr;
        for (int i = 0; i < studyViewers; ++i) {
            study = context.viewers().openSong(request);
            // The user reads a while before the next title.
            QEventLoop reading;
            QTimer::singleShot(1500, &reading, &QEventLoop::quit);
            reading.exec();
        }
        const QRect frame = study->frameGeometry();
        std::printf("frame %d,%d %dx%d client %d,%d\n", frame.x(), frame.y(), frame.width(), frame.height(),
                    study->geometry().x(), study->geometry().y());
        std::puts("ready");
        std::fflush(stdout);
        return app.exec();
    }
    auto *viewer =
        new PdfViewerWindowController(context, path, page, opened, playlist, playlistIndex, titles);
    if (size.size() == 2)
        viewer->resize(size[0].toInt(), size[1].toInt());
    viewer->showWindow();
    if (parser.isSet(QStringLiteral("maximized")))
        viewer->showMaximized();
    if (parser.isSet(QStringLiteral("study")) && viewer->screen())
        WindowPlacement::placeFrame(viewer, WindowPlacement::leftHalf(viewer->screen()->availableGeometry()));
    const bool overflowMenu = parser.isSet(QStringLiteral("overflow-menu"));
    const double zoom = parser.value(QStringLiteral("zoom")).toDouble();
    const bool draw = parser.isSet(QStringLiteral("draw"));
    const bool edit = parser.isSet(QStringLiteral("edit"));
    const QString exportFile = parser.value(QStringLiteral("export"));
    const bool share = parser.isSet(QStringLiteral("share"));
    const QString focus = parser.value(QStringLiteral("focus"));
    const bool textPrompt = parser.isSet(QStringLiteral("text-prompt"));
    const int playlists = parser.isSet(QStringLiteral("add-to-playlist"))
                              ? parser.value(QStringLiteral("add-to-playlist")).toInt()
                              : -1;
    for (int i = 1; i <= playlists; ++i)
        context.playlists().createPlaylist(QStringLiteral("Rehearsal set %1").arg(i));
    const ViewerSession session(path, page, opened, playlist, playlistIndex, titles);
    QTimer::singleShot(viewerFitDelayMs + 50, viewer, [=] {
        if (mode == QStringLiteral("two-page"))
            press(viewer, "twoPageButton");
        else if (mode.startsWith(QStringLiteral("presentation"))) {
            press(viewer, "fullscreenButton");
            // A bare X server has no window manager to make the window full screen; do its part.
            QTimer::singleShot(300, viewer, [viewer] {
                QScreen *screen = viewer->screen();
                if (screen && viewer->geometry() != screen->geometry())
                    viewer->setGeometry(screen->geometry());
            });
            if (mode == QStringLiteral("presentation-and-back"))
                QTimer::singleShot(800, viewer, [viewer] { press(viewer, "floatingExitFullscreen"); });
        }
        // Most of the way first, the rest once the page is drawn: the last step is drawn as zoom steps
        // are (from a scanned page's large image, on a scan).
        if (zoom > 1)
            pinch(viewer, zoom * 0.8 - 1);
        if (draw || edit)
            editor(viewer)->toggleEditMode();
        if (draw)
            drawSample(viewer);
        if (draw && !edit)
            editor(viewer)->toggleEditMode();
        if (!exportFile.isEmpty() && !exportTitle(viewer, session, exportFile))
            std::fputs("export failed\n", stderr);
        if (share)
            shareAsPdf(viewer);
        if (auto *focused = viewer->findChild<QWidget *>(focus); focused && !focus.isEmpty())
            focused->setFocus(Qt::TabFocusReason);
        const int settle = mode == QStringLiteral("presentation-and-back") ? 1500 : 0;
        const auto lastZoomStep = [viewer, zoom](std::function<void()> then) {
            if (zoom <= 1) {
                then();
                return;
            }
            waitUntilSettled(viewer, [viewer, then] {
                QTimer::singleShot(1500, viewer, [viewer, then] {
                    pinch(viewer, 0.25);
                    then();
                });
            });
        };
        QTimer::singleShot(settle, viewer, [viewer, overflowMenu, playlists, textPrompt, lastZoomStep] {
            lastZoomStep([viewer, overflowMenu, playlists, textPrompt] {
                waitUntilSettled(viewer, [viewer, overflowMenu, playlists, textPrompt] {
                    const auto ready = [] {
                        std::puts("ready");
                        std::fflush(stdout);
                    };
                    if (textPrompt) {
                        // The prompt runs until it is answered; it is drawn by the time this fires.
                        QTimer::singleShot(500, viewer, ready);
                        editor(viewer)->toggleEditMode();
                        palette(viewer)->textButton()->click();
                        const int page = pageView(viewer)->visiblePages().first();
                        const QRectF rect = pageView(viewer)->shownForTesting().pageRects.value(page);
                        const QPointF at =
                            rect.topLeft() + QPointF(0.62 * rect.width(), 0.22 * rect.height());
                        QWidget *area = pageView(viewer)->viewport();
                        mouse(area, QEvent::MouseButtonPress, at, Qt::LeftButton);
                        mouse(area, QEvent::MouseButtonRelease, at, Qt::NoButton);
                        return;
                    }
                    if (playlists >= 0) {
                        // The choice runs until it is answered; it is drawn by the time this fires.
                        QTimer::singleShot(500, viewer, ready);
                        press(viewer, "addToPlaylistButton");
                        return;
                    }
                    if (!overflowMenu) {
                        ready();
                        return;
                    }
                    // The menu runs until it is closed; it is drawn by the time this fires.
                    QTimer::singleShot(300, viewer, ready);
                    viewer->findChild<ViewerToolbarRow *>()->overflowButton()->showMenu();
                });
            });
        });
    });
    return app.exec();
}

#include "main.moc"

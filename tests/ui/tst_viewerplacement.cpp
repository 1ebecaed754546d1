#include "OpenedUrls.h"
#include "PdfFixtures.h"
#include "TestHarnessGui.h"
#include "core/common/AppSettings.h"
#include "core/session/LibrarySession.h"
#include "core/session/SongOpening.h"
#include "ui/app/AppContext.h"
#include "ui/common/WindowPlacement.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QDesktopServices>
#include <QScreen>
#include <QtTest>

// Runs on a display that a window manager manages (tests/support/with-window-manager.sh), where a
// window's frame is known only some time after the window is shown.
class ViewerPlacementTest : public QObject {
    Q_OBJECT

private slots:
    // Study mode gives every viewer the left half of the screen, the title bar inside it, whether it
    // is the first viewer of the run or one of those that follow.
    void studyModePlacesEveryViewer()
    {
        OpenedUrls urls;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &urls, "open");
        AppSettings::setValue(AppSettings::studyModeEnabledKey, true);
        const QString book = TestHarness::home() + "/Book.pdf";
        PdfFixtures::write(book, QList<PdfFixtures::Page>(3));
        ViewerOpenRequest request;
        request.pdfPath = book;
        request.pageNumber = 1;
        AppContext context;
        for (int opened = 1; opened <= 4; ++opened) {
            PdfViewerWindowController *viewer = context.viewers().openSong(request);
            const QRect half = WindowPlacement::leftHalf(viewer->screen()->availableGeometry());
            const auto placed = [viewer, half] {
                return viewer->frameGeometry() == half && viewer->geometry().top() > half.top();
            };
            const auto where = [viewer, opened] {
                const QRect frame = viewer->frameGeometry();
                return QStringLiteral("viewer %1: frame %2,%3 %4x%5, inside at %6,%7")
                    .arg(opened)
                    .arg(frame.x())
                    .arg(frame.y())
                    .arg(frame.width())
                    .arg(frame.height())
                    .arg(viewer->geometry().x())
                    .arg(viewer->geometry().y());
            };
            WAIT_VERIFY2(placed(), qPrintable(where()));
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }
};

LYRAFOLD_TEST_GUI_MAIN(ViewerPlacementTest)
#include "tst_viewerplacement.moc"

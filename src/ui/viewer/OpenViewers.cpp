#include "ui/viewer/OpenViewers.h"

#include "core/common/AppSettings.h"
#include "core/session/SongOpening.h"
#include "ui/common/StudyModeService.h"
#include "ui/common/WindowPlacement.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QGuiApplication>
#include <QScreen>

OpenViewers::OpenViewers(AppContext &context) : m_context(context) {}

OpenViewers::~OpenViewers()
{
    qDeleteAll(std::exchange(m_viewers, {}));
}

PdfViewerWindowController *OpenViewers::openSong(const ViewerOpenRequest &request)
{
    if (m_current)
        m_current->close();
    auto *viewer = show(new PdfViewerWindowController(
        m_context, request.pdfPath, request.pageNumber, request.bookmarkEntry, request.playlistItems,
        request.playlistCurrentIndex, request.sourcePdfBookmarks));
    if (AppSettings::boolValue(AppSettings::studyModeEnabledKey)) {
        QScreen *screen = viewer->screen() ? viewer->screen() : QGuiApplication::primaryScreen();
        if (screen)
            WindowPlacement::placeFrame(viewer, WindowPlacement::leftHalf(screen->availableGeometry()));
        StudyModeService::openProvider(request.bookmarkEntry ? request.bookmarkEntry->title : QString());
    }
    return viewer;
}

PdfViewerWindowController *OpenViewers::show(PdfViewerWindowController *viewer)
{
    m_viewers.append(viewer);
    makeCurrent(viewer);
    viewer->showWindow();
    return viewer;
}

void OpenViewers::makeCurrent(PdfViewerWindowController *viewer)
{
    if (m_current == viewer)
        return;
    if (m_current)
        m_current->close();
    m_current = viewer;
    connect(viewer, &PdfViewerWindowController::closed, this, &OpenViewers::viewerClosed,
            Qt::UniqueConnection);
}

void OpenViewers::viewerClosed()
{
    auto *viewer = qobject_cast<PdfViewerWindowController *>(sender());
    // It stops being current first, then leaves the open viewers.
    if (m_current == viewer)
        m_current = nullptr;
    if (m_viewers.removeOne(viewer))
        viewer->deleteLater();
}

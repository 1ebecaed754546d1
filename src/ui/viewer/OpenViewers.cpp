#include "ui/viewer/OpenViewers.h"

#include "ui/viewer/PdfViewerWindowController.h"

OpenViewers::~OpenViewers()
{
    qDeleteAll(std::exchange(m_viewers, {}));
}

PdfViewerWindowController *OpenViewers::show(PdfViewerWindowController *viewer)
{
    viewer->onWindowClose = [this, viewer] {
        m_viewers.removeOne(viewer);
        viewer->deleteLater();
    };
    m_viewers.append(viewer);
    viewer->showWindow();
    return viewer;
}

// Opening the bookmark workshop and the custom files window. Each works with the library and the
// library flows of the application context on its own and reports in its own status line.

#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldButtonEffects.h"
#include "ui/common/WindowPlacement.h"
#include "ui/customfiles/CustomFilesWindowController.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/workshop/WorkshopWindowController.h"

void MainWindowController::openBookmarkWorkshop()
{
    if (m_workshopWindowController) {
        m_workshopWindowController->reloadSlotBooks();
        WindowPlacement::bringToFront(m_workshopWindowController, false);
        return;
    }
    m_workshopWindowController = new WorkshopWindowController(m_context);
    m_workshopWindowController->setAttribute(Qt::WA_DeleteOnClose);
    WindowPlacement::bringToFront(m_workshopWindowController, true);
    LyrafoldButtonEffects::install(m_workshopWindowController);
}

void MainWindowController::openCustomFiles()
{
    if (m_customFilesWindowController) {
        WindowPlacement::bringToFront(m_customFilesWindowController, false);
        return;
    }
    m_customFilesWindowController = new CustomFilesWindowController(m_context);
    m_customFilesWindowController->setAttribute(Qt::WA_DeleteOnClose);
    WindowPlacement::bringToFront(m_customFilesWindowController, true);
}

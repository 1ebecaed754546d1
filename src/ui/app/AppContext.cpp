#include "ui/app/AppContext.h"

#include "core/common/NotificationBus.h"
#include "ui/common/StateFileAlerts.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/viewer/OpenViewers.h"

AppContext::AppContext()
    : m_setAsideRecorder(QObject::connect(&NotificationBus::instance(), &NotificationBus::stateFileSetAside,
                                          [this](const QString &path, const QString &asidePath) {
                                              m_setAsideAtStart.append({path, asidePath});
                                          })),
      m_library(m_playlists), m_shownRows(m_library), m_slots(m_library), m_files(m_slots),
      m_viewers(std::make_unique<OpenViewers>(*this)),
      m_libraryFlows(std::make_unique<LibraryFlowService>(*this)),
      m_fileAlerts(std::make_unique<StateFileAlerts>())
{
    QObject::disconnect(m_setAsideRecorder);
}

AppContext::~AppContext() = default;

NotificationBus &AppContext::notifications()
{
    return NotificationBus::instance();
}

#include "ui/app/AppContext.h"

#include "core/common/NotificationBus.h"

AppContext::AppContext() : m_library(m_playlists) {}

AppContext::~AppContext() = default;

NotificationBus &AppContext::notifications()
{
    return NotificationBus::instance();
}

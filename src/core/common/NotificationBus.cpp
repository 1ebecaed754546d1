#include "core/common/NotificationBus.h"

NotificationBus &NotificationBus::instance()
{
    static NotificationBus bus;
    return bus;
}

bool NotificationBus::post(const QString &name, const QVariantMap &userInfo)
{
    if (name == openLyfFileName)
        Q_EMIT openLyfFile(userInfo);
    else if (name == addToPlaylistModeName)
        Q_EMIT addToPlaylistMode(userInfo);
    else if (name == finishedAddToPlaylistModeName)
        Q_EMIT finishedAddToPlaylistMode(userInfo);
    else if (name == languageChangedName)
        Q_EMIT languageChanged();
    else
        return false;
    return true;
}

#include "ui/share/ShareFlow.h"

#include <QWidget>

#include <algorithm>

ShareFlow::ShareFlow(QWidget *window, QWidget *anchor, const QString &objectName)
    : QObject(window), m_window(window), m_anchor(anchor ? anchor : window)
{
    setObjectName(objectName);
}

bool ShareFlow::isBuilding(const QWidget *window)
{
    if (!window)
        return false;
    const auto flows = window->findChildren<ShareFlow *>(Qt::FindDirectChildrenOnly);
    return std::any_of(flows.begin(), flows.end(), [](const ShareFlow *flow) { return flow->building(); });
}

QWidget *ShareFlow::popupAnchor() const
{
    return m_anchor ? m_anchor.data() : m_window;
}

void ShareFlow::end()
{
    Q_EMIT finished();
    deleteLater();
}

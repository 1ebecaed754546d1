#include "core/session/IndexPreparation.h"

#include "core/common/BuildProgress.h"

#include <QCoreApplication>

IndexPreparation::IndexPreparation(std::function<void()> prepare, QObject *parent)
    : QObject(parent), m_prepare(std::move(prepare)), m_builds(std::make_shared<BuildProgress>())
{
    // The indexes of a large library take seconds to make; a quit does not wait for them.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            cancel();
            m_quitting = true;
        });
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(300);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] { m_prepare(); });
}

IndexPreparation::~IndexPreparation()
{
    cancel();
}

void IndexPreparation::libraryChanged()
{
    m_settleTimer.start();
}

bool IndexPreparation::startFor(quint64 version)
{
    if (m_preparingVersion == version)
        return false;
    m_preparingVersion = version;
    return true;
}

void IndexPreparation::cancel()
{
    m_builds->cancel();
}

#include "core/common/Hop.h"

#include <QList>
#include <QMutex>

namespace {

QMutex heldMutex;
QList<std::function<void()>> held;

} // namespace

std::atomic<bool> Hop::detail::landingsHeld{false};

bool Hop::detail::keepLanding(std::function<void()> &call)
{
    const QMutexLocker lock(&heldMutex);
    if (!landingsHeld.load())
        return false;
    held.append(std::move(call));
    return true;
}

void Hop::holdLandingsForTesting()
{
    const QMutexLocker lock(&heldMutex);
    detail::landingsHeld.store(true);
}

void Hop::releaseLandingsForTesting()
{
    QList<std::function<void()>> calls;
    {
        const QMutexLocker lock(&heldMutex);
        detail::landingsHeld.store(false);
        calls = std::exchange(held, {});
    }
    QCoreApplication *app = QCoreApplication::instance();
    for (std::function<void()> &call : calls) {
        if (app)
            QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
    }
}

int Hop::heldLandingsForTesting()
{
    const QMutexLocker lock(&heldMutex);
    return int(held.size());
}

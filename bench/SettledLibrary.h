#pragma once

#include "core/common/MemoryTrim.h"
#include "core/library/LibrarySession.h"

#include <QCoreApplication>
#include <QThreadPool>

// The event loop turns until the session has made the indexes a quiet library has, as the window's
// session does once the library stops changing, and the shown rows theirs (begun after the same
// pause); then what it let go of is freed, and the memory it gives back is given back.
inline void settleLibrary(LibrarySession &session)
{
    while (!session.readyTitleKeyIndex() || !session.readyPositionsByKey())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (int round = 0; round < 2; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
    LibrarySession::waitForPendingSaves();
    QCoreApplication::processEvents();
    MemoryTrim::waitForPendingReleases();
}

#pragma once

#include "core/common/MemoryTrim.h"
#include "core/session/LibrarySession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>

// The event loop turns until the session has made the indexes a quiet library has, as the window's
// session does once the library stops changing, and the shown rows theirs (begun after the same
// pause); then what it let go of is freed, and the memory it gives back is given back.
inline void settleLibrary(LibrarySession &session)
{
    // Both begin their indexes once the library has not changed for 300 ms; a library that came with
    // the session's indexes made has the shown rows' still to come.
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < 400 || !session.readyTitleKeyIndex() || !session.readyPositionsByKey())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (int round = 0; round < 2; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
    LibrarySession::waitForPendingSaves();
    QCoreApplication::processEvents();
    MemoryTrim::waitForPendingReleases();
}

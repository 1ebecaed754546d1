#pragma once

#include "core/library/LibrarySession.h"

// What tests and benchmarks reach of the session beyond its own interface: a shown order that no
// search gives (duplicates, rows since deleted), the generation of the search passes, and a lower row
// count from which a sort runs on a worker, so as not to build a library of workerSortRows songs.
struct LibrarySessionProbe {
    static void showRows(LibrarySession &session, const BookmarkList &rows)
    {
        session.setFilteredBookmarks(rows);
    }
    static qint64 searchGeneration(const LibrarySession &session) { return session.searchFilterGeneration(); }
    static void sortOnWorkerFrom(LibrarySession &session, qsizetype rows) { session.m_workerSortRows = rows; }
};

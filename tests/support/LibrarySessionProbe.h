#pragma once

#include "core/library/LibrarySession.h"

// What tests and benchmarks reach of the session beyond its own interface: a shown order that no
// search gives (duplicates, rows since deleted) and the generation of the search passes.
struct LibrarySessionProbe {
    static void showRows(LibrarySession &session, const BookmarkList &rows)
    {
        session.setFilteredBookmarks(rows);
    }
    static qint64 searchGeneration(const LibrarySession &session) { return session.searchFilterGeneration(); }
};

#pragma once

#include "core/bookmarks/SongRecord.h"

#include <QList>

struct PlaylistItem;

// The library's record of one song: one start page in one PDF book, with its title and metadata.
struct BookmarkEntry : SongRecord {
    BookmarkEntry() = default;
    explicit BookmarkEntry(const SongRecord &fields) : SongRecord(fields) {}
    // Field by field, nothing trimmed or defaulted.
    explicit BookmarkEntry(const PlaylistItem &item);

    friend bool operator==(const BookmarkEntry &a, const BookmarkEntry &b) { return a.sameFields(b); }
};

using BookmarkList = QList<BookmarkEntry>;

#pragma once

#include "core/bookmarks/BookmarkEntry.h"

// One title of a playlist: the fields of the bookmark it was made from.
struct PlaylistItem : SongRecord {
    PlaylistItem() = default;
    explicit PlaylistItem(const SongRecord &fields) : SongRecord(fields) {}

    static PlaylistItem fromBookmark(const BookmarkEntry &entry) { return PlaylistItem(entry); }

    friend bool operator==(const PlaylistItem &a, const PlaylistItem &b) { return a.sameFields(b); }
};

#include "core/bookmarks/BookmarkEntry.h"

#include "core/playlist/PlaylistItem.h"

BookmarkEntry::BookmarkEntry(const PlaylistItem &item) : SongRecord(item) {}

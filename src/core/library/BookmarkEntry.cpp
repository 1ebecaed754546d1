#include "library/BookmarkEntry.h"

#include "playlist/PlaylistItem.h"

BookmarkEntry::BookmarkEntry(const PlaylistItem &item) : SongRecord(item) {}

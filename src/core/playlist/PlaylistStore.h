#pragma once

#include "core/playlist/Playlist.h"

#include <QSet>

// The user's playlists in "playlists.json". Nothing stays in memory: every operation reads the whole
// file, changes the list and, where needed, writes it back whole. Main thread only.
//
// Operations return false only when a write they needed failed; an operation that had nothing to
// write returns true.
namespace PlaylistStore {

QString playlistsPath();

// All playlists in file order; empty when the file is missing or unusable (an undecodable file is set
// aside before anything can overwrite it).
QList<Playlist> loadPlaylists();
bool savePlaylists(const QList<Playlist> &playlists);

// Adds imported playlists. A name that matches a stored one (without regard to case) replaces it in
// place when replaceOnNameConflict is set, or is stored as "<name> (imported)", "<name> (imported 2)",
// ... otherwise. Always writes.
bool mergeImportedPlaylists(const QList<Playlist> &imported, bool replaceOnNameConflict);

// Appends the bookmark to the named playlist, creating the playlist (name as passed) when missing,
// unless an item with the same identity key is there. Always writes.
bool addToPlaylist(const QString &playlistName, const BookmarkEntry &entry);

bool removeItems(const QSet<QString> &keys);
bool replaceItems(const QString &oldKey, const BookmarkEntry &entry);
bool syncMetadataFromBookmarks(const BookmarkList &bookmarks);
bool removeItem(const QString &playlistName, const QString &itemKey);
bool reorderItems(const QString &playlistName, const QList<PlaylistItem> &newOrder);

enum class CreateResult { Created, BlankName, NameTaken, WriteFailed };
// Creates an empty playlist with the trimmed name.
CreateResult createPlaylist(const QString &name);

} // namespace PlaylistStore

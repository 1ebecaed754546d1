#pragma once

#include "core/playlist/Playlist.h"

// The playlists file, "playlists.json" in the user's data folder, read and written whole. The
// application keeps its playlists in one PlaylistLibrary, which reads the file once and writes it in
// the background; these two steps are for that class, for tools and for tests.
namespace PlaylistStore {

QString playlistsPath();

// All playlists in file order; empty when the file is missing or unusable (an undecodable file is set
// aside before anything can overwrite it).
QList<Playlist> loadPlaylists(const QString &path = playlistsPath());
// Writes at once, atomically; false when the file could not be written.
bool savePlaylists(const QList<Playlist> &playlists, const QString &path = playlistsPath());

} // namespace PlaylistStore

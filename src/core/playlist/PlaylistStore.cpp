#include "core/playlist/PlaylistStore.h"

#include "core/common/AppPaths.h"
#include "core/storage/StateFile.h"

namespace PlaylistStore {

QString playlistsPath()
{
    return AppPaths::playlistsPath();
}

QList<Playlist> loadPlaylists(const QString &path)
{
    return StateFile::load<QList<Playlist>>(path, PlaylistCodec::decodePlaylists).value_or(QList<Playlist>());
}

bool savePlaylists(const QList<Playlist> &playlists, const QString &path)
{
    const auto bytes = PlaylistCodec::encodePlaylists(playlists);
    return bytes && StateFile::write(path, *bytes);
}

} // namespace PlaylistStore

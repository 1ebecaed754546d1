#pragma once

#include "core/common/Result.h"
#include "core/playlist/PlaylistItem.h"

#include <QByteArray>
#include <QList>

#include <optional>

// A named, ordered list of titles. Names are unique among playlists without regard to case; the store
// enforces that, the record does not.
struct Playlist {
    QString name;
    QList<PlaylistItem> items;

    friend bool operator==(const Playlist &, const Playlist &) = default;
};

// The form under which a playlist name is matched: composed and lower-cased.
QString playlistNameKey(const QString &name);

namespace PlaylistCodec {

// The playlists file: a compact JSON array of {"name", "items"} objects.
Result<QList<Playlist>> decodePlaylists(const QByteArray &json);
std::optional<QByteArray> encodePlaylists(const QList<Playlist> &playlists);

} // namespace PlaylistCodec

#include "core/playlist/Playlist.h"

#include "core/bookmarks/SongRecordCodec.h"
#include "core/text/TextUtils.h"

QString playlistNameKey(const QString &name)
{
    return TextUtils::nfc(name).toLower();
}

namespace PlaylistCodec {

Result<QList<Playlist>> decodePlaylists(const QByteArray &bytes)
{
    using Failure = Result<QList<Playlist>>;
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::array array;
    if (!document.open(bytes, status) || !document.rootArray(array, status))
        return Failure::failure(status.error());

    QList<Playlist> playlists;
    json::TextPool pool;
    const QString root = QStringLiteral("playlists");
    qsizetype index = 0;
    for (auto element : array) {
        json::od::value value;
        if (!json::element(element, value, status, root, index))
            break;
        json::ObjectReader in(value, status, root, index++);
        Playlist playlist;
        in.required("name", playlist.name);
        auto items = in.requiredArray("items");
        if (!status.ok())
            break;
        const QString itemsPath = in.pathOf("items");
        qsizetype itemIndex = 0;
        for (auto itemElement : *items) {
            json::od::value itemValue;
            if (!json::element(itemElement, itemValue, status, itemsPath, itemIndex))
                break;
            PlaylistItem item;
            SongRecordCodec::decode(itemValue, SongRecordCodec::Required::PlaylistFields, item, status,
                                    itemsPath, itemIndex++, pool);
            if (!status.ok())
                break;
            playlist.items.append(std::move(item));
        }
        if (!status.ok())
            break;
        playlists.append(std::move(playlist));
    }
    if (!document.finish(status))
        return Failure::failure(status.error());
    return playlists;
}

std::optional<QByteArray> encodePlaylists(const QList<Playlist> &playlists)
{
    json::JsonWriter w;
    w.beginArray();
    for (const Playlist &playlist : playlists) {
        w.beginObject();
        w.key("name");
        w.value(playlist.name);
        w.key("items");
        w.beginArray();
        for (const PlaylistItem &item : playlist.items)
            SongRecordCodec::encode(w, item);
        w.endArray();
        w.endObject();
    }
    w.endArray();
    QByteArray bytes = w.take();
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace PlaylistCodec

#include "playlist/Playlist.h"

#include "library/SongRecordCodec.h"
#include "text/TextUtils.h"

QString playlistNameKey(const QString &name)
{
    return TextUtils::nfc(name).toLower();
}

namespace PlaylistCodec {

Result<QList<Playlist>> decodePlaylists(const QByteArray &bytes)
{
    using Failure = Result<QList<Playlist>>;
    json::JsonDocument document;
    if (!document.parse(bytes))
        return Failure::failure(document.error());
    simdjson::dom::array array;
    if (document.root().get(array) != simdjson::SUCCESS)
        return Failure::failure(QStringLiteral("expected an array of playlists"));

    json::DecodeStatus status;
    QList<Playlist> playlists;
    const QString root = QStringLiteral("playlists");
    qsizetype index = 0;
    for (simdjson::dom::element element : array) {
        json::ObjectReader in(element, status, root, index++);
        Playlist playlist;
        in.required("name", playlist.name);
        const auto items = in.requiredArray("items");
        if (!status.ok())
            return Failure::failure(status.error());
        const QString itemsPath = in.pathOf("items");
        qsizetype itemIndex = 0;
        for (simdjson::dom::element itemElement : *items) {
            PlaylistItem item;
            SongRecordCodec::decode(itemElement, SongRecordCodec::Required::PlaylistFields, item, status,
                                    itemsPath, itemIndex++);
            if (!status.ok())
                return Failure::failure(status.error());
            playlist.items.append(std::move(item));
        }
        playlists.append(std::move(playlist));
    }
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

// Playlist files from other people (".lyf").

#include "FuzzSupport.h"
#include "core/playlist/LyfPlaylistCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Result<QList<Playlist>> read = LyfPlaylistCodec::decodeBundle(fuzzInput(data, size));
    if (!read) {
        FUZZ_CHECK(!read.error().message.isEmpty());
        return 0;
    }
    // A playlist read from a file is shared again as it was read: the file written for it reads back
    // as that one playlist, and writing that gives the same file.
    const QDateTime exportedAt = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    for (const Playlist &playlist : read.value()) {
        const QByteArray written = LyfPlaylistCodec::encodeBundle(playlist.name, playlist.items, exportedAt);
        const Result<QList<Playlist>> again = LyfPlaylistCodec::decodeBundle(written);
        FUZZ_CHECK(again && again->size() == 1);
        const Playlist &shared = again->first();
        FUZZ_CHECK(shared.name == playlist.name && shared.items.size() == playlist.items.size());
        FUZZ_CHECK(LyfPlaylistCodec::encodeBundle(shared.name, shared.items, exportedAt) == written);
    }
    return 0;
}

// The playlists file ("playlists.json").

#include "FuzzSupport.h"
#include "core/playlist/Playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Result<QList<Playlist>> first = PlaylistCodec::decodePlaylists(fuzzInput(data, size));
    if (!first)
        return 0;
    const std::optional<QByteArray> written = PlaylistCodec::encodePlaylists(first.value());
    FUZZ_CHECK(written);
    const Result<QList<Playlist>> second = PlaylistCodec::decodePlaylists(*written);
    FUZZ_CHECK(second);
    FUZZ_CHECK(second.value() == first.value());
    FUZZ_CHECK(PlaylistCodec::encodePlaylists(second.value()) == written);
    return 0;
}

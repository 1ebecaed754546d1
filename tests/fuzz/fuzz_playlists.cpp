// The playlists file ("playlists.json").

#include "FuzzSupport.h"
#include "core/playlist/Playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    checkRoundTrip(fuzzInput(data, size), PlaylistCodec::decodePlaylists, PlaylistCodec::encodePlaylists,
                   std::equal_to<>());
    return 0;
}

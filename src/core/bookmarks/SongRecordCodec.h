#pragma once

// Internal to lyrafold_core: the simdjson types stay inside the library, and the other layers decode
// through the codecs' functions. The library's own sources define LYRAFOLD_CORE_INTERNAL.
#ifndef LYRAFOLD_CORE_INTERNAL
#error "core/bookmarks/SongRecordCodec.h is internal to lyrafold_core: decode through the codecs' functions"
#endif

// JSON form of the fifteen song fields, shared by slot files, the bookmark cache, the playlists file
// and playlist files (internal header).

#include "core/bookmarks/SongRecord.h"
#include "core/json/JsonReader.h"
#include "core/json/JsonWriter.h"

namespace SongRecordCodec {

// Which keys a stored object must have.
enum class Required {
    // Stored bookmark lists: the first seven keys; missing optional texts read as empty.
    BookmarkFields,
    // Playlist items: path, file name, page and title; level 0, span 1 and total 0 by default.
    PlaylistFields,
};

// Every text is written (possibly empty); year and rating only when present (and the rating only
// when it is a finite number).
void encode(json::JsonWriter &writer, const SongRecord &record);

// Fills record from one object; failures go to status. The texts that repeat over a list (file name,
// path, genre, style, composer, tempo) are taken from pool, which the rows of one document share.
void decode(json::od::value element, Required required, SongRecord &record, json::DecodeStatus &status,
            const QString &path, qsizetype index, json::TextPool &pool);

} // namespace SongRecordCodec

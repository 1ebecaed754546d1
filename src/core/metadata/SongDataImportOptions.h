#pragma once

// Which bookmark columns an enrichment may write, and whether it only fills empty ones. The column
// flags map onto BookmarkEntry fields: genre, style, year (firstReleaseYear), composer, tempo and
// popularity (rating).
struct SongDataImportOptions {
    bool genre = false;
    bool style = false;
    bool year = false;
    bool composer = false;
    bool tempo = false;
    bool popularity = false;
    bool fillOnlyMissing = false;

    bool operator==(const SongDataImportOptions &) const = default;
};

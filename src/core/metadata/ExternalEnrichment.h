#pragma once

#include "core/metadata/MetadataWebClient.h"

#include <QString>

#include <optional>

// What one web service found for a title. Every field is optional; a failed or empty lookup gives the
// value with nothing set, and a failed one also says why.
struct ExternalEnrichment {
    std::optional<QString> genre;
    std::optional<QString> style;
    std::optional<qint64> firstReleaseYear;
    std::optional<QString> spotifyURL;
    std::optional<QString> youtubeURL;
    std::optional<WebError> failure;

    bool operator==(const ExternalEnrichment &) const = default;
};

// How the lookup of one song went.
struct LookupOutcome {
    enum class Kind {
        found,        // something was filled in and every web source asked answered
        nothingFound, // every source answered, none had anything to add
        failed,       // a web source could not be asked; the built-in index may still have filled
                      // fields (filled)
    };
    Kind kind = Kind::nothingFound;
    // The entry came back changed, by whichever source.
    bool filled = false;
    // Web services were asked and none of them could be reached (WebError::isUnreachable()).
    bool unreachable = false;
};

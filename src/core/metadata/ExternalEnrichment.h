#pragma once

#include <QString>

#include <optional>

// What one web service found for a title. Every field is optional; a failed or empty lookup gives the
// value with nothing set.
struct ExternalEnrichment {
    std::optional<QString> genre;
    std::optional<QString> style;
    std::optional<qint64> firstReleaseYear;
    std::optional<QString> spotifyURL;
    std::optional<QString> youtubeURL;

    bool isEmpty() const { return *this == ExternalEnrichment(); }
    bool operator==(const ExternalEnrichment &) const = default;
};

#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/metadata/ExternalEnrichment.h"
#include "core/metadata/SongDataImportOptions.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

// Looks up the metadata of one song in the built-in title index, the MusicBrainz web service and, when
// the user has stored a token, the Discogs API, and fills a copy of its bookmark.
//
// Every operation is asynchronous: it returns at once, and its callback runs later in the thread of
// the given context object, which must run an event loop. When the context is destroyed first, the
// callback never runs and requests under way are abandoned. A failed lookup gives the same empty
// result toward the library as an empty one, and says why (ExternalEnrichment::failure, LookupOutcome).
namespace MetadataEnrichmentService {

// Where the services are reached. Tests point them at a server of their own.
struct Endpoints {
    QUrl musicBrainzBaseUrl{QStringLiteral("https://musicbrainz.org")};
    QUrl discogsBaseUrl{QStringLiteral("https://api.discogs.com")};
    std::chrono::milliseconds requestTimeout{60000};

    bool operator==(const Endpoints &) const = default;
};

Endpoints endpoints();
void setEndpoints(const Endpoints &endpoints);

using EnrichmentCallback = std::function<void(ExternalEnrichment)>;
using BookmarkCallback = std::function<void(BookmarkEntry, LookupOutcome)>;

// The first release year and the Spotify and YouTube links of the first recording that a search for
// title (and composer, when there is one) returns. Double quotes are dropped from both; an empty
// title asks nothing.
void fetchMusicBrainz(const QString &title, const QString &composer, QObject *context,
                      EnrichmentCallback done);

// Genre, style and year of the first release that a database search for artist and title returns.
// The token is sent only when there is one.
void fetchDiscogs(const QString &title, const QString &artist, const QString &token, QObject *context,
                  EnrichmentCallback done);

// What the built-in index alone gives entry, at once and with no web request: the first step of both
// enrichments below (no options: empty fields only).
BookmarkEntry enrichFromIndex(const BookmarkEntry &entry,
                              const std::optional<SongDataImportOptions> &options);

// Fills the empty metadata fields of entry from every source; the first source with a value wins.
void enrichBookmark(const BookmarkEntry &entry, QObject *context, BookmarkCallback done);

// Writes only the columns that options choose: filling empty fields when options.fillOnlyMissing,
// otherwise letting each later source overwrite. MusicBrainz is asked only for the year, Discogs
// only for genre, style or year, and never without a stored token.
void enrichBookmark(const BookmarkEntry &entry, const SongDataImportOptions &options, QObject *context,
                    BookmarkCallback done);

} // namespace MetadataEnrichmentService

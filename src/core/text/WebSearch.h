#pragma once

#include <QString>
#include <QUrl>

// Web searches for a song title at Spotify and YouTube. Study mode and the playlist exports build their
// addresses here, so a title searches the same words wherever the user starts from.
namespace WebSearch {

// The trimmed title, percent-encoded as UTF-8 for use as the last path segment of a Spotify search or
// as a query value: only ASCII letters, digits and - . _ ~ ! $ ' ( ) * , ; : @ stay as they are.
// "/", "&", "+", "=", "?" and "#" are encoded so that they can neither split the path nor the query.
QString encodedSearchQuery(const QString &title);

// The search addresses for an already encoded query.
QUrl spotifySearchUrl(const QString &encodedQuery);
QUrl youtubeSearchUrl(const QString &encodedQuery);

} // namespace WebSearch

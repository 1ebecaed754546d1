#pragma once

#include <QString>
#include <QUrl>

// Web searches for a song title at Spotify and YouTube. Study mode, the playlist exports and the main
// window's search buttons build their addresses here, so a title's characters are encoded alike
// wherever the user starts from.
namespace WebSearch {

// The text as it stands, blanks around it included, percent-encoded as UTF-8 for use as the last path
// segment of a Spotify search or as a query value: only ASCII letters, digits and
// - . _ ~ ! $ ' ( ) * , ; : @ stay as they are. "/", "&", "+", "=", "?" and "#" are encoded so that
// they can neither split the path nor the query: left as they are, "&" would end YouTube's search at
// "Night " for "Night & Day". The main window's search buttons and the title cards send the title so.
QString encodedQuery(const QString &text);
// The title without the blanks and line breaks around it, encoded as encodedQuery() does: the search
// of study mode and of the playlist exports.
QString encodedSearchQuery(const QString &title);

// The search addresses for an already encoded query.
QUrl spotifySearchURL(const QString &encodedQuery);
QUrl youtubeSearchURL(const QString &encodedQuery);

} // namespace WebSearch

#include "core/text/WebSearch.h"

#include "core/text/TextUtils.h"

namespace WebSearch {

QString encodedQuery(const QString &text)
{
    // The characters a URL query allows, less those that would end or split a path segment or a
    // query parameter. "/" is encoded too: on the Spotify path "AC/DC" would otherwise search "AC".
    static const QByteArray keep = QByteArrayLiteral("!$'()*,;:@");
    return QString::fromLatin1(text.toUtf8().toPercentEncoding(keep));
}

QString encodedSearchQuery(const QString &title)
{
    return encodedQuery(TextUtils::trimmed(title));
}

QUrl spotifySearchURL(const QString &encodedQuery)
{
    return QUrl(QStringLiteral("https://open.spotify.com/search/") + encodedQuery, QUrl::StrictMode);
}

QUrl youtubeSearchURL(const QString &encodedQuery)
{
    return QUrl(QStringLiteral("https://www.youtube.com/results?search_query=") + encodedQuery,
                QUrl::StrictMode);
}

} // namespace WebSearch

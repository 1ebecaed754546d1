#include "core/text/WebSearch.h"

#include "core/text/TextUtils.h"

namespace WebSearch {

QString encodedSearchQuery(const QString &title)
{
    // The characters a URL query allows, less those that would end or split a path segment or a
    // query parameter. "/" is encoded too: on the Spotify path "AC/DC" would otherwise search "AC".
    static const QByteArray keep = QByteArrayLiteral("!$'()*,;:@");
    return QString::fromLatin1(TextUtils::trimmed(title).toUtf8().toPercentEncoding(keep));
}

QUrl spotifySearchUrl(const QString &encodedQuery)
{
    return QUrl(QStringLiteral("https://open.spotify.com/search/") + encodedQuery, QUrl::StrictMode);
}

QUrl youtubeSearchUrl(const QString &encodedQuery)
{
    return QUrl(QStringLiteral("https://www.youtube.com/results?search_query=") + encodedQuery,
                QUrl::StrictMode);
}

} // namespace WebSearch

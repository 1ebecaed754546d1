#include "core/playlist/PlaylistRows.h"

#include "core/text/TextUtils.h"
#include "core/text/WebSearch.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace PlaylistRows {

QString subtitle(const PlaylistItem &item)
{
    // One arg() call: a "%1" in a file name is text, not a place for the page number.
    const QString base = QStringLiteral("%1 · p.%2 · %3 page(s)")
                             .arg(item.pdfFileName, QString::number(item.pageNumber),
                                  QString::number(std::max<qint64>(item.pageSpan, 1)));
    QStringList tags;
    for (const QString *text : {&item.genre, &item.style}) {
        if (!text->isEmpty())
            tags.append(*text);
    }
    if (item.firstReleaseYear)
        tags.append(QString::number(*item.firstReleaseYear));
    for (const QString *text : {&item.composer, &item.tempo}) {
        if (!text->isEmpty())
            tags.append(*text);
    }
    if (const std::optional<double> rating = TextUtils::finiteRating(item.rating))
        tags.append(QStringLiteral("★") + QString::number(std::round(*rating), 'f', 0));
    if (!item.spotifyURL.isEmpty())
        tags.append(QStringLiteral("Spotify"));
    if (!item.youtubeURL.isEmpty())
        tags.append(QStringLiteral("YouTube"));
    return tags.isEmpty() ? base : base + QStringLiteral(" — ") + tags.join(QStringLiteral(" · "));
}

namespace {

// Only web addresses leave the application: a stored "javascript:", "file:" or program link would run
// something other than a browser page.
std::optional<QUrl> webAddress(const QString &stored)
{
    const QString link = TextUtils::trimmed(stored);
    if (link.isEmpty() || TextUtils::withoutControlCharacters(link) != link)
        return std::nullopt;
    const QUrl url(link, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;
    return url;
}

} // namespace

QUrl linkAddress(const SongRecord &song, Link link)
{
    if (const auto stored = webAddress(link == Link::spotify ? song.spotifyURL : song.youtubeURL))
        return *stored;
    // The title as it is stored, blanks around it included, as the main window's search buttons send
    // it; a title without content searches nothing.
    if (TextUtils::trimmed(song.title).isEmpty())
        return {};
    const QString query = WebSearch::encodedQuery(song.title);
    return link == Link::spotify ? WebSearch::spotifySearchURL(query) : WebSearch::youtubeSearchURL(query);
}

QByteArray rowPayload(qsizetype row)
{
    return QByteArray::number(row);
}

std::optional<qsizetype> rowFromPayload(const QByteArray &payload)
{
    const std::optional<qint64> number = TextUtils::wholeNumber(QString::fromUtf8(payload));
    if (!number)
        return std::nullopt;
    return qsizetype(*number);
}

qsizetype moveDestination(qsizetype from, qsizetype dropRow, qsizetype count)
{
    const qsizetype destination = from < dropRow ? dropRow - 1 : dropRow;
    return std::clamp<qsizetype>(destination, 0, std::max<qsizetype>(count - 1, 0));
}

qsizetype selectionAfterChange(qsizetype selected, const QString &selectedName, const PlaylistChange &change,
                               const QList<Playlist> &now)
{
    if (selected < 0)
        return -1;
    switch (change.kind) {
    case PlaylistChange::Kind::reloaded: {
        const auto named = std::find_if(now.cbegin(), now.cend(), [&](const Playlist &playlist) {
            return playlist.name == selectedName;
        });
        return named == now.cend() ? -1 : qsizetype(named - now.cbegin());
    }
    case PlaylistChange::Kind::removed:
        for (const qsizetype gone : change.playlists) {
            if (gone == selected)
                return -1;
            if (gone < selected)
                --selected;
        }
        break;
    case PlaylistChange::Kind::added:
    case PlaylistChange::Kind::itemsChanged:
        break;
    }
    return selected < now.size() ? selected : -1;
}

} // namespace PlaylistRows

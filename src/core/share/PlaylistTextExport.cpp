#include "core/share/PlaylistTextExport.h"

#include "core/playlist/LyfPlaylistCodec.h"
#include "core/share/ExportNaming.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"
#include "core/text/WebSearch.h"

#include <QStringList>

#include <algorithm>

namespace {

const QString spotifyLabel = QStringLiteral("Spotify");
const QString youtubeLabel = QStringLiteral("YouTube");

// The shareable stored links of an item, as (label, address) in export order.
QList<std::pair<QString, QString>> storedLinks(const PlaylistItem &item)
{
    QList<std::pair<QString, QString>> links;
    if (PlaylistTextExport::isShareableLink(item.spotifyURL))
        links.append({spotifyLabel, item.spotifyURL});
    if (PlaylistTextExport::isShareableLink(item.youtubeURL))
        links.append({youtubeLabel, item.youtubeURL});
    return links;
}

QString pagesText(const PlaylistItem &item)
{
    return QStringLiteral(" (Page ") + QString::number(item.pageNumber) + QStringLiteral(", ") +
           QString::number(qMax<qint64>(item.pageSpan, 1)) + QStringLiteral(" page(s)) - ");
}

std::optional<QString> writeExport(const QString &playlistName, const QString &extension,
                                   const QByteArray &bytes, const QDateTime &now)
{
    if (bytes.isEmpty())
        return std::nullopt;
    const auto path = ExportNaming::exportPath(ExportNaming::datedStem(playlistName, now.date()), extension);
    if (!path || !StateFile::writeCopy(*path, bytes))
        return std::nullopt;
    return path;
}

} // namespace

namespace PlaylistTextExport {

QString textDetailed(const QList<PlaylistItem> &items, const QString &playlistName, bool includeBookAndPages,
                     bool includeStreamingLinks)
{
    // Stored before titles were folded on their way in, a title could still forge a line of its own or
    // carry control characters (a terminal's escapes among them); a file name can hold them too.
    using TextUtils::foldedTitle;
    QStringList lines{foldedTitle(playlistName), QString()};
    qsizetype number = 0;
    for (const PlaylistItem &item : items) {
        QString line = QString::number(++number) + QStringLiteral(". ") + foldedTitle(item.title);
        if (includeBookAndPages)
            line += pagesText(item) + foldedTitle(item.pdfFileName);
        lines.append(line);
        if (!includeStreamingLinks)
            continue;
        for (const auto &[label, address] : storedLinks(item))
            lines.append(QStringLiteral("   ") + label + QStringLiteral(": ") + address);
    }
    return lines.join(QLatin1Char('\n'));
}

QString html(const QList<PlaylistItem> &items, const QString &playlistName, bool includeBookAndPages,
             bool includeStreamingLinks)
{
    using TextUtils::foldedTitle;
    const QString name = htmlEscaped(foldedTitle(playlistName));
    QString out = QStringLiteral("<!doctype html><html><head><meta charset=\"utf-8\"><title>") + name +
                  QStringLiteral("</title></head><body><h1>") + name + QStringLiteral("</h1><ol>");
    for (const PlaylistItem &item : items) {
        out += QStringLiteral("<li>") + htmlEscaped(foldedTitle(item.title));
        if (includeBookAndPages)
            out += pagesText(item) + htmlEscaped(foldedTitle(item.pdfFileName));
        const auto links = includeStreamingLinks ? storedLinks(item) : QList<std::pair<QString, QString>>();
        if (!links.isEmpty()) {
            QStringList anchors;
            for (const auto &[label, address] : links)
                anchors.append(QStringLiteral("<a href=\"") + htmlEscaped(address) + QStringLiteral("\">") +
                               label + QStringLiteral("</a>"));
            out += QStringLiteral("<div style=\"margin-top:4px;margin-left:12px;\">") +
                   anchors.join(QStringLiteral(" &nbsp; ")) + QStringLiteral("</div>");
        }
        out += QStringLiteral("</li>");
    }
    out += QStringLiteral("</ol></body></html>");
    return out;
}

QString htmlEscaped(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool isShareableLink(const QString &link)
{
    // The scheme is read from the very start, as written. Browsers drop tabs and line breaks anywhere
    // in an address ("java<tab>script:"), and a line break would start a line of its own in the plain
    // list, so a link holding a control character is not taken at all.
    if (std::any_of(link.cbegin(), link.cend(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return false;
    const qsizetype colon = link.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    const QString scheme = link.left(colon).toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("spotify");
}

QUrl effectiveSpotifyURL(const PlaylistItem &item)
{
    return WebSearch::spotifySearchURL(WebSearch::encodedSearchQuery(item.title));
}

QUrl effectiveYouTubeURL(const PlaylistItem &item)
{
    return WebSearch::youtubeSearchURL(WebSearch::encodedSearchQuery(item.title));
}

std::optional<QString> buildPlaylistTextDetailed(const QList<PlaylistItem> &items,
                                                 const QString &playlistName, bool includeBookAndPages,
                                                 bool includeStreamingLinks, const QDateTime &now)
{
    if (items.isEmpty())
        return std::nullopt;
    const QString text = textDetailed(items, playlistName, includeBookAndPages, includeStreamingLinks);
    return writeExport(playlistName, QStringLiteral(".txt"), text.toUtf8(), now);
}

std::optional<QString> buildPlaylistHTML(const QList<PlaylistItem> &items, const QString &playlistName,
                                         bool includeBookAndPages, bool includeStreamingLinks,
                                         const QDateTime &now)
{
    if (items.isEmpty())
        return std::nullopt;
    const QString page = html(items, playlistName, includeBookAndPages, includeStreamingLinks);
    return writeExport(playlistName, QStringLiteral(".html"), page.toUtf8(), now);
}

std::optional<QString> buildPlaylistLYF(const QString &playlistName, const QList<PlaylistItem> &items,
                                        const QDateTime &now)
{
    if (items.isEmpty())
        return std::nullopt;
    return writeExport(playlistName, QStringLiteral(".lyf"),
                       LyfPlaylistCodec::encodeBundle(playlistName, items, now), now);
}

} // namespace PlaylistTextExport

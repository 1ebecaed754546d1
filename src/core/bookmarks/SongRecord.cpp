#include "core/bookmarks/SongRecord.h"

#include "core/text/TextUtils.h"

QString songIdentityKey(const QString &pdfFilePath, qint64 pageNumber, const QString &title)
{
    const QString path = TextUtils::nfc(pdfFilePath);
    // Titles are folded on both sides, so that a row stored before titles were folded on their way in
    // still meets the same song read again, its metadata and its playlist entries.
    const QString name = TextUtils::nfc(TextUtils::foldedTitle(title));
    const QString page = QString::number(pageNumber);
    QString key;
    key.reserve(path.size() + page.size() + name.size() + 2);
    key.append(path).append(QLatin1Char('|')).append(page).append(QLatin1Char('|')).append(name);
    return key;
}

QString SongRecord::id() const
{
    return songIdentityKey(pdfFilePath, pageNumber, title);
}

bool SongRecord::sameFields(const SongRecord &o) const
{
    using TextUtils::canonicallyEqual;
    return canonicallyEqual(pdfFileName, o.pdfFileName) && canonicallyEqual(pdfFilePath, o.pdfFilePath) &&
           pageNumber == o.pageNumber && canonicallyEqual(title, o.title) && level == o.level &&
           pageSpan == o.pageSpan && totalPages == o.totalPages && canonicallyEqual(genre, o.genre) &&
           canonicallyEqual(style, o.style) && firstReleaseYear == o.firstReleaseYear &&
           canonicallyEqual(composer, o.composer) && canonicallyEqual(tempo, o.tempo) && rating == o.rating &&
           canonicallyEqual(spotifyURL, o.spotifyURL) && canonicallyEqual(youtubeURL, o.youtubeURL);
}

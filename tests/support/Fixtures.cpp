#include "Fixtures.h"

#include "core/slots/LibrarySlots.h"

#include "core/session/AppendedRows.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"

#include <QRandomGenerator>
#include <QStringList>

namespace Fixtures {

BookmarkEntry bookmark(const QString &pdfFilePath, qint64 pageNumber, const QString &title)
{
    BookmarkEntry e;
    e.pdfFilePath = pdfFilePath;
    e.pdfFileName = pdfFilePath.section(QLatin1Char('/'), -1);
    e.pageNumber = pageNumber;
    e.title = title;
    e.pageSpan = 1;
    return e;
}

BookmarkEntry fullBookmark(int n)
{
    BookmarkEntry e = bookmark(QStringLiteral("/home/user/Books/Book %1.pdf").arg(n % 7), n + 1,
                               QStringLiteral("Song number %1").arg(n));
    e.level = n % 3;
    e.pageSpan = 1 + n % 4;
    e.totalPages = 300 + n % 50;
    e.genre = QStringLiteral("Jazz");
    e.style = QStringLiteral("Swing");
    e.firstReleaseYear = 1930 + n % 90;
    e.composer = QStringLiteral("Composer %1").arg(n % 11);
    e.tempo = QStringLiteral("Medium");
    e.rating = double(n % 6) / 2.0;
    e.spotifyURL = QStringLiteral("https://open.spotify.com/track/%1").arg(n);
    e.youtubeURL = QStringLiteral("https://www.youtube.com/watch?v=%1").arg(n);
    return e;
}

BookmarkList realisticLibrary(int count, quint32 seed)
{
    static const QStringList words = {
        QStringLiteral("Autumn"),    QStringLiteral("Blue"),    QStringLiteral("Moon"),
        QStringLiteral("Night"),     QStringLiteral("Love"),    QStringLiteral("Summer"),
        QStringLiteral("River"),     QStringLiteral("Heart"),   QStringLiteral("Dream"),
        QStringLiteral("Yesterday"), QStringLiteral("Garden"),  QStringLiteral("Waltz"),
        QStringLiteral("Señorita"),  QStringLiteral("Café"),    QStringLiteral("Street"),
        QStringLiteral("Rain"),      QStringLiteral("Stars"),   QStringLiteral("Morning"),
        QStringLiteral("Gözlerin"),  QStringLiteral("Corazón"), QStringLiteral("Train"),
    };
    static const QStringList genres = {QStringLiteral("Jazz"),      QStringLiteral("Pop"),
                                       QStringLiteral("Folk"),      QStringLiteral("Latin"),
                                       QStringLiteral("Classical"), QString()};
    static const QStringList styles = {QStringLiteral("Medium Swing"),   QStringLiteral("Bossa Nova"),
                                       QStringLiteral("Ballad"),         QStringLiteral("Waltz"),
                                       QStringLiteral("Up-tempo Bebop"), QString()};
    static const QStringList composers = {QStringLiteral("Antonio Carlos Jobim"),
                                          QStringLiteral("Cole Porter"),
                                          QStringLiteral("Duke Ellington"),
                                          QStringLiteral("George Gershwin"),
                                          QStringLiteral("Richard Rodgers & Lorenz Hart"),
                                          QString()};
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

    QRandomGenerator rng(seed);
    const auto pick = [&](const QStringList &list) { return list.at(rng.bounded(int(list.size()))); };
    const auto token = [&](int length) {
        QString s(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            s[i] = QLatin1Char(alphabet[rng.bounded(62)]);
        return s;
    };

    BookmarkList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int book = rng.bounded(300);
        BookmarkEntry e;
        e.pdfFileName =
            QStringLiteral("The Real Songbook Collection Volume %1 (Sixth Edition).pdf").arg(book);
        e.pdfFilePath = QStringLiteral("/home/musician/Documents/Sheet Music/Fakebooks/") + e.pdfFileName;
        e.pageNumber = 1 + rng.bounded(480);
        QStringList title;
        for (int w = 2 + rng.bounded(4); w > 0; --w)
            title << pick(words);
        e.title = title.join(QLatin1Char(' '));
        e.level = rng.bounded(2);
        e.pageSpan = 1 + rng.bounded(3);
        e.totalPages = 480;
        e.genre = pick(genres);
        e.style = pick(styles);
        if (rng.bounded(4) != 0)
            e.firstReleaseYear = 1920 + rng.bounded(100);
        e.composer = pick(composers);
        e.tempo = rng.bounded(2) ? QStringLiteral("Medium (120 bpm)") : QString();
        if (rng.bounded(3) == 0)
            e.rating = rng.bounded(11) / 2.0;
        if (rng.bounded(2)) {
            e.spotifyURL = QStringLiteral("https://open.spotify.com/track/") + token(22);
            e.youtubeURL = QStringLiteral("https://www.youtube.com/watch?v=") + token(11);
        }
        list.append(std::move(e));
    }
    return list;
}

QList<Playlist> playlistsOf(const BookmarkList &library, int playlists, int titles)
{
    QList<Playlist> list;
    for (int p = 0; p < playlists; ++p) {
        Playlist playlist{QStringLiteral("Gig %1").arg(p), {}};
        for (int t = 0; t < titles; ++t)
            playlist.items.append(
                PlaylistItem::fromBookmark(library.at((p * 1997 + t * 131) % library.size())));
        list.append(playlist);
    }
    return list;
}

void setRows(LibrarySession &session, const BookmarkList &rows)
{
    LibrarySession::Replacement replacement(LibraryRows(rows), session.currentSlotId());
    replacement.save = false;
    session.replaceLibrary(std::move(replacement));
}

void setSavedRows(LibrarySession &session, const BookmarkList &rows)
{
    LibrarySession::Replacement replacement(LibraryRows(rows), session.currentSlotId());
    replacement.sync = LibrarySession::PlaylistSync::skip;
    session.replaceLibrary(std::move(replacement));
}

void appendRows(LibrarySession &session, const BookmarkList &rows)
{
    session.adoptAppendedRows(AppendedRows::of(session.libraryVersion(), session.allBookmarks(),
                                               session.titleKeyIndex(), session.readyPositionsByKey(), rows));
}

BookmarkList shownRows(const LibraryShownRows &shown)
{
    BookmarkList rows;
    for (int row = 0; row < shown.displayedRowCount(); ++row)
        rows.append(*shown.displayedBookmark(row));
    return rows;
}

std::optional<qsizetype> countKnownAtOnce(LibrarySlots &librarySlots, qint64 slot)
{
    std::optional<qsizetype> told;
    // Gone before the event loop turns: a count that comes later from a worker is never told here.
    QObject context;
    librarySlots.withSlotCount(slot, &context, [&told](qsizetype count) { told = count; });
    return told;
}

} // namespace Fixtures

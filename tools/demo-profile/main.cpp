// lyrafold-demo-profile: prepares a profile of its own (data, settings and Documents folders under one
// folder) whose Default slot holds the built-in bookmark list matched to a folder of books. `make run`
// starts Lyrafold on it, so trying the application never touches the user's own library.
//
//   lyrafold-demo-profile --profile DIR --books DIR [--force] [--bookmarks N]
//
// The profile also gets a few playlists of the demo books, for the playlists window. With --bookmarks,
// the Default slot and slots 1 and 2 each hold N songs instead: the built-in list over and over, each
// round's titles numbered, with years, ratings, genres and tempos, to try the application on a library
// of a million songs.
//
// Prints shell "export" lines that point Lyrafold at the profile (for eval). An existing profile is kept
// (with what the user changed in it) unless --force is given.

#include "core/books/DefaultBookmarks.h"
#include "core/common/AppPaths.h"
#include "core/playlist/PlaylistStore.h"
#include "core/slotfiles/CacheService.h"
#include "core/slotfiles/SlotStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

struct ProfileDirs {
    QString home, data, config, cache, state;
};

ProfileDirs profileDirs(const QString &root)
{
    return {root + QStringLiteral("/home"), root + QStringLiteral("/data"), root + QStringLiteral("/config"),
            root + QStringLiteral("/cache"), root + QStringLiteral("/state")};
}

// Three playlists drawn from the demo books that are present: a mixed session, a folk night and a
// late set, in a deliberate order rather than book order.
QList<Playlist> demoPlaylists(const BookmarkList &library)
{
    const auto rowsOf = [&library](const QString &book) {
        BookmarkList rows;
        for (const BookmarkEntry &row : library) {
            if (row.pdfFileName == book && QFileInfo(row.pdfFilePath).isFile())
                rows.append(row);
        }
        return rows;
    };
    const BookmarkList fakebook = rowsOf(QStringLiteral("Lyrafold Demo Fakebook.pdf"));
    const BookmarkList evening = rowsOf(QStringLiteral("Evening Standards (Demo).pdf"));
    const BookmarkList folk = rowsOf(QStringLiteral("Folk Tunes Sampler (Demo).pdf"));
    const auto picked = [](const QList<std::pair<const BookmarkList *, int>> &choices) {
        QList<PlaylistItem> items;
        for (const auto &[rows, at] : choices) {
            if (at < rows->size())
                items.append(PlaylistItem::fromBookmark(rows->at(at)));
        }
        return items;
    };
    QList<Playlist> playlists{
        {QStringLiteral("Sunday Session"), picked({{&fakebook, 0},
                                                   {&evening, 1},
                                                   {&fakebook, 7},
                                                   {&folk, 2},
                                                   {&fakebook, 12},
                                                   {&evening, 4},
                                                   {&fakebook, 15},
                                                   {&folk, 0},
                                                   {&evening, 8},
                                                   {&fakebook, 3}})},
        {QStringLiteral("Folk Night"),
         picked({{&folk, 0}, {&folk, 1}, {&folk, 2}, {&folk, 3}, {&folk, 4}, {&folk, 5}})},
        {QStringLiteral("Late Set"),
         picked(
             {{&evening, 0}, {&evening, 2}, {&evening, 3}, {&evening, 5}, {&fakebook, 13}, {&fakebook, 18}})},
    };
    playlists.removeIf([](const Playlist &playlist) { return playlist.items.isEmpty(); });
    return playlists;
}

// count songs made from the built-in list: round r of it numbers its titles "<title> r" (the first round
// keeps them), slot 2 takes the rounds from the last, and the metadata varies with the song.
BookmarkList largeLibrary(const BookmarkList &builtIn, qsizetype count, qint64 slot)
{
    static const QStringList genres{QStringLiteral("Jazz"), QStringLiteral("Latin"), QStringLiteral("Folk"),
                                    QStringLiteral("Pop"), QString()};
    static const QStringList tempos{QStringLiteral("Ballad"), QStringLiteral("Medium"), QStringLiteral("Up"),
                                    QString()};
    BookmarkList rows;
    rows.reserve(count);
    const qsizetype rounds = (count + builtIn.size() - 1) / builtIn.size();
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype at = slot == 2 ? count - 1 - i : i;
        const qsizetype round = at / builtIn.size();
        BookmarkEntry row = builtIn.at(at % builtIn.size());
        if (round > 0)
            row.title += QLatin1Char(' ') + QString::number(slot == 2 ? rounds - round : round);
        row.genre = genres.at(at % genres.size());
        row.tempo = tempos.at(at % tempos.size());
        if (at % 4 != 0)
            row.firstReleaseYear = 1920 + int(at * 7 % 100);
        if (at % 3 == 0)
            row.rating = double(at % 11) / 2.0;
        rows.append(std::move(row));
    }
    return rows;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "lyrafold-demo-profile: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // The profile's folders must be in place before Qt resolves any standard location.
    QString profileRoot;
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--profile") == 0)
            profileRoot = QDir(QString::fromLocal8Bit(argv[i + 1])).absolutePath();
    }
    if (profileRoot.isEmpty())
        return fail(QStringLiteral("--profile DIR is required"));
    const ProfileDirs dirs = profileDirs(profileRoot);
    for (const QString &dir : {dirs.home, dirs.data, dirs.config, dirs.cache, dirs.state})
        QDir().mkpath(dir);
    qputenv("HOME", QFile::encodeName(dirs.home));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dirs.data));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dirs.config));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dirs.cache));
    qputenv("XDG_STATE_HOME", QFile::encodeName(dirs.state));

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("profile"), QStringLiteral("Folder of the demo profile."), QStringLiteral("dir")});
    parser.addOption(
        {QStringLiteral("books"), QStringLiteral("Folder holding the demo books."), QStringLiteral("dir")});
    parser.addOption(
        {QStringLiteral("force"), QStringLiteral("Rebuild the profile's Default slot and its playlists.")});
    parser.addOption({QStringLiteral("bookmarks"),
                      QStringLiteral("Fill the Default slot and slots 1 and 2 with this many songs each."),
                      QStringLiteral("count")});
    parser.process(app);
    bool countGiven = false;
    const qsizetype largeCount = parser.value(QStringLiteral("bookmarks")).toLongLong(&countGiven);
    if (parser.isSet(QStringLiteral("bookmarks")) && (!countGiven || largeCount < 1))
        return fail(QStringLiteral("--bookmarks needs a count above 0"));

    const QString books = QDir(parser.value(QStringLiteral("books"))).absolutePath();
    if (parser.value(QStringLiteral("books")).isEmpty() || !QFileInfo(books).isDir())
        return fail(QStringLiteral("--books DIR must name a folder"));

    const bool exists = QFileInfo::exists(SlotStore::slotFilePath(0));
    if (!exists || parser.isSet(QStringLiteral("force"))) {
        const auto resource = DefaultBookmarks::resourcePath();
        if (!resource)
            return fail(QStringLiteral("the built-in bookmark list is missing"));
        const Result<BookmarkList> library = DefaultBookmarks::load(*resource, books);
        if (!library)
            return fail(library.error().message);
        if (library.value().isEmpty())
            return fail(QStringLiteral("the built-in bookmark list is empty"));
        SlotMeta meta = SlotStore::loadMeta().value_or(SlotMeta{});
        meta.activeSlot = 0;
        if (!SlotStore::saveMeta(meta) || !CacheService::save(library.value(), books))
            return fail(QStringLiteral("cannot write the profile in %1").arg(profileRoot));
        // One slot at a time: a million songs take a gigabyte.
        for (const qint64 slot : countGiven ? QList<qint64>{0, 1, 2} : QList<qint64>{0}) {
            if (!SlotStore::saveSlot(
                    slot, countGiven ? largeLibrary(library.value(), largeCount, slot) : library.value(),
                    books))
                return fail(QStringLiteral("cannot write the profile in %1").arg(profileRoot));
        }
        std::fprintf(stderr, "Demo profile: %lld songs in the Default slot, books from %s\n",
                     static_cast<long long>(countGiven ? largeCount : library.value().size()),
                     qPrintable(books));
    }

    if (!QFileInfo::exists(PlaylistStore::playlistsPath()) || parser.isSet(QStringLiteral("force"))) {
        if (!PlaylistStore::savePlaylists(demoPlaylists(SlotStore::loadSlot(0))))
            return fail(QStringLiteral("cannot write the playlists in %1").arg(profileRoot));
    }

    const auto quoted = [](QString value) {
        return QLatin1Char('\'') + value.replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
               QLatin1Char('\'');
    };
    const QList<QPair<const char *, QString>> variables{{"HOME", dirs.home},
                                                        {"XDG_DATA_HOME", dirs.data},
                                                        {"XDG_CONFIG_HOME", dirs.config},
                                                        {"XDG_CACHE_HOME", dirs.cache},
                                                        {"XDG_STATE_HOME", dirs.state}};
    for (const auto &[name, value] : variables)
        std::printf("export %s=%s\n", name, qPrintable(quoted(value)));
    return 0;
}

// lyrafold-demo-profile: prepares a profile of its own (data, settings and Documents folders under one
// folder) whose Default slot holds the built-in bookmark list matched to a folder of books. `make run`
// starts Lyrafold on it, so trying the application never touches the user's own library.
//
//   lyrafold-demo-profile --profile DIR --books DIR [--force]
//
// The profile also gets a few playlists of the demo books, for the playlists window.
//
// Prints shell "export" lines that point Lyrafold at the profile (for eval). An existing profile is kept
// (with what the user changed in it) unless --force is given.

#include "core/common/AppPaths.h"
#include "core/library/CacheService.h"
#include "core/library/DefaultBookmarks.h"
#include "core/library/SlotStore.h"
#include "core/playlist/PlaylistStore.h"

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
    parser.process(app);

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
        SlotMeta meta = SlotStore::loadMeta().value_or(SlotMeta{});
        meta.activeSlot = 0;
        if (!SlotStore::saveSlot(0, library.value(), books) || !SlotStore::saveMeta(meta) ||
            !CacheService::save(library.value(), books))
            return fail(QStringLiteral("cannot write the profile in %1").arg(profileRoot));
        std::fprintf(stderr, "Demo profile: %lld songs in the Default slot, books from %s\n",
                     static_cast<long long>(library.value().size()), qPrintable(books));
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

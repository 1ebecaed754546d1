// What the interface thread waits for when the library or the playlists change: a committed cell edit
// on a large library whose playlists follow it, and a quick run of adds to a playlist.

#include "Fixtures.h"
#include "core/common/AppPaths.h"
#include "core/playlist/PlaylistLibrary.h"
#include "core/playlist/PlaylistStore.h"
#include "core/session/LibrarySession.h"
#include "core/titles/TitleKeyIndex.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr int libraryRows = 100000;

// Counts the times a file is put in place (a rename onto its name, as every atomic save does).
class ReplacementCounter {
public:
    explicit ReplacementCounter(const QString &path) : m_name(QFileInfo(path).fileName().toUtf8())
    {
        m_fd = inotify_init1(IN_NONBLOCK);
        // Identical events in a row are merged: the temporary files' events keep the renames apart.
        inotify_add_watch(m_fd, QFileInfo(path).absolutePath().toUtf8().constData(),
                          IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO);
    }
    ~ReplacementCounter() { close(m_fd); }

    int count()
    {
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                if ((event->mask & IN_MOVED_TO) && event->len > 0 && m_name == event->name)
                    ++m_count;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return m_count;
    }

private:
    QByteArray m_name;
    int m_fd = -1;
    int m_count = 0;
};

// A genre typed into a cell and committed, on a library of 100,000 bookmarks with 50 playlists of 40
// titles: the edit of every row of the title, the save and the playlists brought in line. The titles
// edited lie in the playlists, so the playlists change each time. afterSave: the edit comes while the
// previous save is still being written.
void cellEdit(benchmark::State &state, bool afterSave)
{
    const BookmarkList library = Fixtures::realisticLibrary(libraryRows);
    PlaylistStore::savePlaylists(Fixtures::playlistsOf(library, 50, 40));
    PlaylistLibrary playlists;
    LibrarySession session(playlists);
    Fixtures::setRows(session, library);
    // Idle: the indexes that the session prepares on a worker after a change are there.
    session.titleKeyIndex();
    session.firstPositionOf(QString());
    LibrarySession::waitForPendingSaves();
    int n = 0;
    for (auto _ : state) {
        const BookmarkEntry entry = session.allBookmarks().at((n * 1997) % libraryRows);
        const QString genre = QStringLiteral("Genre %1").arg(n++);
        if (afterSave)
            session.saveCurrentSlot();
        QElapsedTimer timer;
        timer.start();
        session.setMetadataField(BookmarkMetadataField::genre, genre, entry);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        LibrarySession::waitForPendingSaves();
    }
    state.counters["bookmarks"] = libraryRows;
}

void BM_CellEditFromIdle(benchmark::State &state)
{
    cellEdit(state, false);
}
BENCHMARK(BM_CellEditFromIdle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_CellEditAfterSave(benchmark::State &state)
{
    cellEdit(state, true);
}
BENCHMARK(BM_CellEditAfterSave)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// 100 titles added one after another to a playlist of a file holding 500 playlists of 40 titles:
// the interface thread's time per add, and how many times the file was written.
void BM_PlaylistAdd(benchmark::State &state)
{
    const BookmarkList library = Fixtures::realisticLibrary(20000);
    const QList<Playlist> playlists = Fixtures::playlistsOf(library, 500, 40);
    double writes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PlaylistStore::savePlaylists(playlists);
        PlaylistLibrary owner;
        ReplacementCounter counter(AppPaths::playlistsPath());
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 100; ++i)
            owner.addToPlaylist(QStringLiteral("Gig 250"), library.at(i * 7));
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9 / 100);
        LibrarySession::waitForPendingSaves();
        writes += counter.count();
    }
    state.counters["writes"] = benchmark::Counter(writes / double(state.iterations()));
}
BENCHMARK(BM_PlaylistAdd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

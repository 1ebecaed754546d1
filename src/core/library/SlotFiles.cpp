#include "core/library/SlotFiles.h"

#include "core/common/AppPaths.h"
#include "core/common/MemoryTrim.h"
#include "core/common/UiText.h"
#include "core/library/BookmarkCache.h"
#include "core/library/CacheService.h"
#include "core/library/SlotStore.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>

#include <algorithm>

#include <unistd.h>

namespace {

// Identity key -> the positions of the rows with it, ascending.
using KeyIndex = QHash<QString, QList<qsizetype>>;

template <typename Rows> KeyIndex indexRows(const Rows &rows)
{
    KeyIndex index;
    index.reserve(rows.size());
    qsizetype position = 0;
    for (const BookmarkEntry &row : rows)
        index[row.id()].append(position++);
    return index;
}

// Where the row that stands at position in the rows index was made of stands in other: the same
// identity key, the same place among the rows with it; -1 when other has fewer.
qsizetype counterpart(const LibraryRows &rows, const KeyIndex &index, qsizetype position,
                      const KeyIndex &other)
{
    const QString key = rows.at(position).id();
    const QList<qsizetype> &same = *index.constFind(key);
    const qsizetype occurrence = std::lower_bound(same.cbegin(), same.cend(), position) - same.cbegin();
    const auto there = other.constFind(key);
    return there != other.cend() && occurrence < there->size() ? there->at(occurrence) : -1;
}

// Each field the change made differ, as it made it: what the other side changed in other fields stays.
void carryChangedFields(const BookmarkEntry &before, const BookmarkEntry &after, BookmarkEntry &row)
{
    const auto carry = [](const auto &was, const auto &now, auto &field) {
        if (!(was == now))
            field = now;
    };
    carry(before.pdfFileName, after.pdfFileName, row.pdfFileName);
    carry(before.pdfFilePath, after.pdfFilePath, row.pdfFilePath);
    carry(before.pageNumber, after.pageNumber, row.pageNumber);
    carry(before.title, after.title, row.title);
    carry(before.level, after.level, row.level);
    carry(before.pageSpan, after.pageSpan, row.pageSpan);
    carry(before.totalPages, after.totalPages, row.totalPages);
    carry(before.genre, after.genre, row.genre);
    carry(before.style, after.style, row.style);
    carry(before.firstReleaseYear, after.firstReleaseYear, row.firstReleaseYear);
    carry(before.composer, after.composer, row.composer);
    carry(before.tempo, after.tempo, row.tempo);
    carry(before.rating, after.rating, row.rating);
    carry(before.spotifyURL, after.spotifyURL, row.spotifyURL);
    carry(before.youtubeURL, after.youtubeURL, row.youtubeURL);
}

// The positions a change of fields touched: those it names, or those of the blocks whose stamps
// changed whose rows differ.
QList<qsizetype> changedPositions(const RowChange &change)
{
    if (!change.positions.isEmpty())
        return change.positions;
    QList<qsizetype> positions;
    const QList<quint64> &before = change.before.blockStamps();
    const QList<quint64> &after = change.after.blockStamps();
    const qsizetype size = std::min(change.before.size(), change.after.size());
    for (qsizetype block = 0; block < before.size() && block < after.size(); ++block) {
        if (before.at(block) == after.at(block))
            continue;
        const qsizetype end = std::min(size, (block + 1) * LibraryRows::blockSize);
        for (qsizetype p = block * LibraryRows::blockSize; p < end; ++p) {
            if (!(change.before.at(p) == change.after.at(p)))
                positions.append(p);
        }
    }
    return positions;
}

bool replayFields(const RowChange &change, BookmarkList &rows)
{
    const QList<qsizetype> positions = changedPositions(change);
    if (positions.isEmpty())
        return true;
    const KeyIndex before = indexRows(change.before);
    const KeyIndex there = indexRows(rows);
    // Every row is found before any changes: a changed key must not move another row's place.
    QList<std::pair<qsizetype, qsizetype>> targets;
    for (const qsizetype p : positions) {
        if (p >= 0 && p < change.before.size() && p < change.after.size())
            targets.append({p, counterpart(change.before, before, p, there)});
    }
    bool placed = true;
    for (const auto &[p, q] : std::as_const(targets)) {
        if (q < 0) {
            // Removed there: the row comes back as changed here, and the other version is kept.
            rows.append(change.after.at(p));
            placed = false;
            continue;
        }
        carryChangedFields(change.before.at(p), change.after.at(p), rows[q]);
    }
    return placed;
}

void replayAppended(const RowChange &change, BookmarkList &rows)
{
    const KeyIndex after = indexRows(change.after);
    KeyIndex there = indexRows(rows);
    for (qsizetype p = change.before.size(); p < change.after.size(); ++p) {
        const BookmarkEntry &row = change.after.at(p);
        const QString key = row.id();
        const QList<qsizetype> &same = *after.constFind(key);
        const qsizetype occurrence = std::lower_bound(same.cbegin(), same.cend(), p) - same.cbegin();
        // A song the other version has as often already (imported there too) is not added twice.
        QList<qsizetype> &held = there[key];
        if (held.size() > occurrence)
            continue;
        held.append(rows.size());
        rows.append(row);
    }
}

void replayRemoved(const RowChange &change, BookmarkList &rows)
{
    const KeyIndex before = indexRows(change.before);
    const KeyIndex there = indexRows(rows);
    QList<qsizetype> gone;
    for (const qsizetype p : change.positions) {
        if (p < 0 || p >= change.before.size())
            continue;
        if (const qsizetype q = counterpart(change.before, before, p, there); q >= 0)
            gone.append(q);
    }
    std::sort(gone.begin(), gone.end(), std::greater<>());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    for (const qsizetype q : std::as_const(gone))
        rows.removeAt(q);
}

// The other version, kept beside the file under a name of its own: a second name for the very file
// that was read where the file system allows one, else a copy of what was read. Empty when neither
// could be made.
QString keepBeside(const QString &path, const StateFile::FileVersion &version, const QByteArray &bytes)
{
    const QString base = path + QStringLiteral(".before-merge-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    const QByteArray from = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(target);
    if (::link(from.constData(), to.constData()) == 0) {
        if (StateFile::stampOf(target).sameStamp(version))
            return target;
        ::unlink(to.constData()); // replaced since it was read
    }
    return StateFile::write(target, bytes) ? target : QString();
}

} // namespace

bool RowChange::replayOn(BookmarkList &rows) const
{
    switch (kind) {
    case Kind::fields:
        return replayFields(*this, rows);
    case Kind::appended:
        replayAppended(*this, rows);
        return true;
    case Kind::removed:
        replayRemoved(*this, rows);
        return true;
    case Kind::replaced:
        rows = after.toList();
        // Only ever made on a version other than the one it replaced.
        return false;
    }
    return true;
}

QString SlotMerge::statusText() const
{
    const QString name = SlotStore::slotName(slot);
    if (!keptAs.isEmpty())
        return UiText::tr("%1 was changed by another program and merged; the other version is kept as %2.")
            .arg(name, QFileInfo(keptAs).fileName());
    if (changesMade)
        return UiText::tr("%1 was changed by another program and merged.").arg(name);
    return UiText::tr("%1 was changed by another program and read again.").arg(name);
}

namespace {

// The changes of a slot's rows not yet written, numbered as its guard counts them; shared with the
// workers that merge.
class ChangeLog {
public:
    void append(quint64 number, RowChange change)
    {
        QMutexLocker lock(&m_mutex);
        m_changes.append({number, std::move(change)});
    }

    // The changes written; the caller frees them (they may hold the rows of a whole library before a
    // change of every row).
    QList<std::pair<quint64, RowChange>> takeUpTo(quint64 number)
    {
        QMutexLocker lock(&m_mutex);
        QList<std::pair<quint64, RowChange>> taken;
        m_changes.removeIf([number, &taken](auto &change) {
            if (change.first > number)
                return false;
            taken.append(std::move(change));
            return true;
        });
        return taken;
    }

    QList<std::pair<quint64, RowChange>> after(quint64 number) const
    {
        QMutexLocker lock(&m_mutex);
        QList<std::pair<quint64, RowChange>> changes;
        for (const auto &change : m_changes) {
            if (change.first > number)
                changes.append(change);
        }
        return changes;
    }

private:
    mutable QMutex m_mutex;
    QList<std::pair<quint64, RowChange>> m_changes;
};

// A merge made on a worker, with the last change it made.
struct WorkerMerge {
    SlotMerge merge;
    quint64 madeUpTo = 0;
};

} // namespace

class SlotFiles::SlotFile {
public:
    SlotFile(SlotFiles &files, qint64 slot)
        : slot(slot), log(std::make_shared<ChangeLog>()),
          guard(SlotStore::slotFilePath(slot), owner(files, slot, SlotStore::slotFilePath(slot), log))
    {
        // The rows it is made for replace what stands there now, until the library says what they were read
        // from.
        guard.setReadVersion(StateFile::stampOf(guard.path()));
        // What the rows were before a change of a million rows is freed on a worker, and the memory goes
        // back to the system.
        QObject::connect(&guard, &FileGuard::written, &guard,
                         [this](quint64 upTo) { MemoryTrim::freeInBackground(log->takeUpTo(upTo)); });
    }

    void write(const SlotSnapshot &snapshot)
    {
        guard.save([snapshot] { return SlotStore::encodeSlot(snapshot.rows.toList(), snapshot.folder); });
    }

    const qint64 slot;
    const std::shared_ptr<ChangeLog> log;
    FileGuard guard;
    // While the slot is not the current one: the rows it writes.
    std::optional<SlotSnapshot> held;

private:
    static FileGuard::Owner owner(SlotFiles &files, qint64 slot, const QString &path,
                                  const std::shared_ptr<ChangeLog> &log)
    {
        return {
            [slot, path, log](const QByteArray &bytes, const StateFile::FileVersion &version,
                              quint64 writtenUpTo) -> std::any {
                Result<SlotStore::SlotContents> decoded = SlotStore::decodeSlot(bytes);
                if (!decoded)
                    return {};
                SlotStore::SlotContents theirs = std::move(decoded).value();
                WorkerMerge made;
                made.merge.slot = slot;
                made.madeUpTo = writtenUpTo;
                bool placed = true;
                for (const auto &[number, change] : log->after(writtenUpTo)) {
                    placed = change.replayOn(theirs.bookmarks) && placed;
                    made.madeUpTo = number;
                    made.merge.changesMade = true;
                }
                if (!placed) {
                    made.merge.keptAs = keepBeside(path, version, bytes);
                    // Not kept: nothing is merged into it; once it stayed as it is, it is set aside.
                    if (made.merge.keptAs.isEmpty())
                        return {};
                }
                made.merge.merged = {LibraryRows(std::move(theirs.bookmarks)), theirs.selectedFolder};
                return made;
            },
            [&files, slot](std::any made, bool) { files.takeMerge(slot, std::move(made)); },
            [&files, slot] { files.saveSlot(slot); },
            [&files, slot] { files.restoreSlot(slot); },
        };
    }
};

SlotFiles::SlotFiles(Host host, QObject *parent) : QObject(parent), m_host(std::move(host))
{
    // A copy of the slot it was written from: another program's version is read, so that it is never
    // replaced unseen, and checked to decode; what is written over it is the current slot's rows.
    m_cache = std::make_unique<FileGuard>(
        AppPaths::bookmarkCachePath(),
        FileGuard::Owner{
            [](const QByteArray &bytes, const StateFile::FileVersion &, quint64) -> std::any {
                if (!BookmarkCacheCodec::decode(bytes))
                    return {};
                return true;
            },
            [](std::any, bool) {},
            [this] { writeCache(m_host.current()); },
            [this] {
                if (const SlotSnapshot snapshot = m_host.current(); !snapshot.rows.isEmpty()) {
                    m_cache->noteChange();
                    writeCache(snapshot);
                }
            },
        });
    m_cache->setReadVersion(StateFile::stampOf(m_cache->path()));
    connect(m_cache.get(), &FileGuard::saveFailed, this, &SlotFiles::saveFailed);
}

SlotFiles::~SlotFiles()
{
    qDeleteAll(m_files);
}

SlotFiles::SlotFile &SlotFiles::current()
{
    SlotFile *&file = m_files[m_currentSlot];
    if (!file) {
        file = new SlotFile(*this, m_currentSlot);
        connect(&file->guard, &FileGuard::saveFailed, this, &SlotFiles::saveFailed);
        const qint64 slot = m_currentSlot;
        const auto settled = [this, slot] {
            // Not from within the guard's own signal: it may go.
            QMetaObject::invokeMethod(
                this, [this, slot] { dropIfSettled(slot); }, Qt::QueuedConnection);
        };
        connect(&file->guard, &FileGuard::written, this, settled);
        connect(&file->guard, &FileGuard::saveFailed, this, settled);
        connect(&file->guard, &FileGuard::fileLookedAt, this, settled);
    }
    return *file;
}

std::optional<SlotSnapshot> SlotFiles::setCurrent(qint64 slot)
{
    if (slot == m_currentSlot)
        return std::nullopt;
    const qint64 leftSlot = std::exchange(m_currentSlot, slot);
    if (SlotFile *left = m_files.value(leftSlot)) {
        // Only a slot whose writes are still on their way keeps its rows. A settled one goes at once:
        // holding the library left until later would keep it resident, and free it on this thread.
        if (!left->guard.isSettled())
            left->held = m_host.current();
        dropIfSettled(leftSlot);
    }
    SlotFile &file = current();
    std::optional<SlotSnapshot> held = std::exchange(file.held, std::nullopt);
    if (!file.guard.hasUnsavedChanges())
        return std::nullopt;
    return held;
}

void SlotFiles::dropIfSettled(qint64 slot)
{
    SlotFile *file = m_files.value(slot);
    if (!file || slot == m_currentSlot || !file->guard.isSettled())
        return;
    m_files.remove(slot);
    delete file;
}

void SlotFiles::setRead(const StateFile::FileVersion &version)
{
    SlotFile &file = current();
    file.guard.setReadVersion(version);
    MemoryTrim::freeInBackground(file.log->takeUpTo(file.guard.lastChange()));
}

void SlotFiles::noteChange(RowChange change)
{
    SlotFile &file = current();
    file.log->append(file.guard.noteChange(), std::move(change));
}

bool SlotFiles::hasUnsavedChanges() const
{
    const SlotFile *file = m_files.value(m_currentSlot);
    return file && file->guard.hasUnsavedChanges();
}

void SlotFiles::save(const SlotSnapshot &snapshot)
{
    SlotFile &file = current();
    if (!file.guard.hasUnsavedChanges())
        return;
    file.write(snapshot);
    m_cache->noteChange();
    writeCache(snapshot);
}

void SlotFiles::writeCache(const SlotSnapshot &snapshot)
{
    m_cache->save([snapshot] { return CacheService::encode(snapshot.rows.toList(), snapshot.folder); });
}

void SlotFiles::saveSlot(qint64 slot)
{
    SlotFile *file = m_files.value(slot);
    if (!file || !file->guard.hasUnsavedChanges())
        return;
    if (slot == m_currentSlot)
        m_host.save();
    else if (file->held)
        file->write(*file->held);
}

void SlotFiles::restoreSlot(qint64 slot)
{
    SlotFile *file = m_files.value(slot);
    if (!file)
        return;
    const SlotSnapshot snapshot =
        slot == m_currentSlot ? m_host.current() : file->held.value_or(SlotSnapshot());
    if (!snapshot.rows.isEmpty())
        file->write(snapshot);
}

void SlotFiles::takeMerge(qint64 slot, std::any made)
{
    SlotFile *file = m_files.value(slot);
    if (!file)
        return;
    WorkerMerge taken = std::any_cast<WorkerMerge>(std::move(made));
    SlotMerge &merge = taken.merge;
    // Told before the later changes are gathered: a change made while it is told is one of them, where
    // one made once the merged rows are taken would be lost with the rows they replace.
    if (slot == m_currentSlot)
        Q_EMIT currentSlotAboutToMerge();
    // The changes noted after the worker took its copy are made here. (One of them that finds no
    // place still comes back as changed; the other version is not kept for it.)
    if (const auto later = file->log->after(taken.madeUpTo); !later.isEmpty()) {
        BookmarkList rows = merge.merged.rows.toList();
        for (const auto &[number, change] : later)
            change.replayOn(rows);
        merge.merged.rows = LibraryRows(std::move(rows));
        merge.changesMade = true;
    }
    if (slot == m_currentSlot) {
        Q_EMIT currentSlotMerged(merge);
    } else if (file->held) {
        file->held->rows = merge.merged.rows;
    }
    Q_EMIT mergeTold(merge.statusText());
}

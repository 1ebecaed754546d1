#include "core/slotfiles/SlotFiles.h"

#include "core/bookmarks/BookmarkCache.h"
#include "core/common/AppPaths.h"
#include "core/common/MemoryTrim.h"
#include "core/common/UiText.h"
#include "core/slotfiles/CacheService.h"
#include "core/slotfiles/SlotStore.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>

#include <unistd.h>

namespace {

// The other version, kept beside the file under a name of its own: a second name for the very file
// that was read where the file system allows one, else a copy of what was read. Empty when neither
// could be made.
QString keepBeside(const QString &slotPath, const StateFile::FileVersion &version, const QByteArray &bytes)
{
    // Beside the file a link leads to, and a name for that file, never for the link: the link's next
    // write would show through it.
    const QString path = StateFile::linkedFile(slotPath).value_or(slotPath);
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
    return StateFile::writeCopy(target, bytes) ? target : QString();
}

} // namespace

QString SlotMerge::statusText() const
{
    const QString name = SlotStore::slotName(slot);
    if (!keptAs.isEmpty()) {
        // Named by its place where the slot's file is a link into another folder, beside which it lies.
        const QFileInfo kept(keptAs);
        const bool besideSlot =
            kept.absolutePath() == QFileInfo(SlotStore::slotFilePath(slot)).absolutePath();
        return UiText::tr("%1 was changed by another program and merged; the other version is kept as %2.")
            .arg(name, besideSlot ? kept.fileName() : kept.absoluteFilePath());
    }
    if (changesMade)
        return UiText::tr("%1 was changed by another program and merged.").arg(name);
    return UiText::tr("%1 was changed by another program and read again.").arg(name);
}

namespace {

// The changes of a slot's rows not yet written, and those written that a version kept aside by the
// guard may still need made again on it, numbered as the guard counts them; shared with the workers that
// merge.
class ChangeLog {
public:
    void append(quint64 number, RowChange change)
    {
        QMutexLocker lock(&m_mutex);
        m_changes.append({number, std::move(change)});
    }

    // The changes written; the caller frees them (they may hold every row of a library after a change
    // of every row).
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
        // back to the system, once no version another program may have written into needs it.
        QObject::connect(&guard, &FileGuard::changesDone, &guard,
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
                RowReplay replay(theirs.bookmarks);
                for (const auto &[number, change] : log->after(writtenUpTo)) {
                    placed = replay.make(change) && placed;
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
            // Only the current slot's version changes the rows; a slot left takes it at once.
            [&files, slot](std::function<void()> take) {
                if (slot == files.m_currentSlot && files.m_host.admit)
                    files.m_host.admit(std::move(take));
                else
                    take();
            },
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
            {},
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
        connect(&file->guard, &FileGuard::changesDone, this, settled);
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
    // A slot left within the stable delay of a write keeps its rows until then: a million of them are
    // freed on a worker.
    MemoryTrim::freeInBackground(std::exchange(file->held, std::nullopt));
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
        RowReplay replay(rows);
        for (const auto &[number, change] : later)
            replay.make(change);
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

#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Reading and writing the application's state files (slots, slot metadata, bookmark cache,
// playlists): always whole, never half-written, and never silently destroying a file that could not
// be decoded.
namespace StateFile {

// Which version of a file stands at a path: what one stat(2) tells (size, modification time to the
// nanosecond, the file's identity on its device) and, where it is known, a hash of its content. A
// version of a missing file is default-made.
struct FileVersion {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray hash; // empty when not known

    // The same file, size and time: a rename over it, a rewrite in place and a removal all change
    // one of them (a rewrite within the same tick of the clock that keeps the size excepted).
    bool sameStamp(const FileVersion &other) const
    {
        return exists == other.exists && size == other.size && modifiedNs == other.modifiedNs &&
               device == other.device && inode == other.inode;
    }

    friend bool operator==(const FileVersion &, const FileVersion &) = default;
};

// The version standing at path now, without its hash (one stat).
FileVersion stampOf(const QString &path);
// A hash of bytes, to tell two contents apart within this run of the program (it is seeded afresh
// at every start, so it is never stored, and another program cannot make two files share one).
QByteArray contentHash(const QByteArray &bytes);

enum class ReadStatus { Ok, Missing, Failed };

struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    QByteArray bytes; // room for the JSON parser's padding is reserved behind the data
    // The file that was read, as it stood when it was opened (no hash).
    FileVersion version;
    // Why it could not be read (Failed), in words for the user.
    QString error;
    // Failed because something other than a regular file stands at the path.
    bool notRegular = false;
};

// Only a regular file is read (a link is followed): a named pipe, a device or a folder at the path is
// refused without being opened in a way that could wait. Waits first for the background writes of
// the file still pending, so that a read right after a save sees what was saved.
ReadResult read(const QString &path);
// The same without waiting for the file's writes, for the thread that writes it.
ReadResult readNow(const QString &path);

// Creates the folder with any missing parents and replaces the file atomically: a crash or a full
// disk leaves the previous file whole. A link is written through (linkedFile()): the file it leads to is
// replaced and the link stays; a link into a folder that does not exist fails. Returns false, with a
// reason in error, when nothing changed. Pending background writes of the file go first, so the files
// keep the order of the calls.
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// The same for a file that is none of the state files (an export, a copy kept beside a state file): its
// failure is the caller's alone to tell. It is neither kept nor tried again, and a quit does not tell it.
bool writeCopy(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Why a file in folder could not be written, from the system's error number, in words a user can act
// on ("the disk is full", "the folder … is read-only").
QString writeFailureReason(int error, const QString &folder);

// Called on the writing thread just before the new file is renamed into place. replace(expected, keptAs)
// puts it there only while the file at the path is the version expected (size, time and identity; a
// missing file for a default-made version): it compares and swaps in one step where the file system can
// exchange two names, and otherwise compares just before the rename. With keptAs, the version swapped
// out is kept beside the file as ".<name>.replaced-<8 hex digits>" (told in keptAs) rather than removed:
// a program that opened it for writing before the swap still writes into it (so no temporary file has
// such a name, and the start-up sweep leaves it). written is the new file's version as it will stand at
// the path (its hash left to the caller). The guard may hold a lock around it, or refuse: return false,
// with the reason in reason (the write then fails with that reason, which is no fault to log or to tell
// as one).
enum class Replaced { done, changed, failed };
using Replace = std::function<Replaced(const FileVersion &expected, QString *keptAs)>;
using ReplaceGuard = std::function<bool(const Replace &replace, const FileVersion &written, QString *reason)>;

// Gives the bytes to write; nothing when they cannot be encoded.
using Encoder = std::function<std::optional<QByteArray>()>;
// Told on the writing thread whether the file was written, with the reason when it was not.
using WriteDone = std::function<void(const QString &path, bool written, const QString &error)>;

// Encodes and writes a file on a worker thread, so that a large file never holds up the interface;
// encode must work on data of its own (a snapshot). A second call for the same file before the worker
// took up the first replaces it: quick successive saves write the file once, with the latest data.
// The replaced call's done is never called.
void writeInBackground(const QString &path, Encoder encode, WriteDone done = {}, ReplaceGuard guard = {});

// The same for an encoder that reads the file and gives it back changed (read() inside it does not
// wait for itself): it is queued behind the writes waiting for the file instead of replacing them, so
// it reads what they wrote. A later write or removal is queued behind it, never in its place, so done is
// always called. An edit is an operation its caller reports: when it fails, nothing of it is kept or
// told as a failed write.
void editInBackground(const QString &path, Encoder encode, WriteDone done = {});

// Removes the file on the same worker, in the same order as its writes: a write asked for before the
// removal cannot bring the file back after it, and one asked for after it replaces it while it waits.
// A file that is already gone counts as removed. Of a link, the file it leads to goes and the link stays.
void removeInBackground(const QString &path, WriteDone done = {});

// Returns once no background write of the file (or of any file) is queued or running.
void waitForPendingWrites(const QString &path);
void waitForAllPendingWrites();
// Whether a background write, edit or removal of any file is queued or running.
bool hasPendingWrites();

// A file whose last write failed, and why, in words for the user.
struct FailedWrite {
    QString path;
    QString reason;
};
// The files whose last write failed in this run of the program, and that no later write or removal
// has settled since: each lacks what was last meant for it. In no particular order.
QList<FailedWrite> failedWrites();

// What the last failed write of a file was to leave there: its bytes, or no file at all (a failed
// removal). Kept until a write or removal of the file succeeds, for the writes made without a guard
// (a guard's owner keeps its document itself).
struct Unwritten {
    bool removed = false;
    QByteArray bytes;
};
// Nothing when the file's last write did not fail, or its guard keeps what it lacks. The changes stay
// in Lyrafold until they can be saved: a reader of such a file takes this in its place.
std::optional<Unwritten> unwritten(const QString &path);
// Writes again, in the background, what was last meant for every file unwritten() knows, unless a
// newer write of it is on its way already. A quit calls it, so that what could not be written is tried
// once more before it is told.
void retryFailedWrites();

// For tests: check is called on the writing thread before each write of a file (its absolute
// path); a reason makes the write fail with it, as a full disk would, and a check that does not return
// holds the write. Nothing: the writes go on as the application makes them.
void setWriteCheckForTesting(std::function<std::optional<QString>(const QString &path)> check);

// Renames an undecodable file to "<name>.unreadable-<yyyyMMdd-HHmmss>" (with a counter when that is
// taken) and announces it on the notification bus. A link stays: the file it leads to is renamed beside
// itself. Returns the new path, or nothing when the rename failed.
std::optional<QString> setAside(const QString &path);

// The template of the temporary file a write of path goes through: ".<name>.lyrafold-XXXXXX" beside it.
QString temporaryTemplate(const QString &path);

// Renames version (another program's version of path, kept under another name) to
// "<path>.before-merge-<yyyyMMdd-HHmmss>" beside it, never over a name that exists. Returns the new
// path, or nothing when the rename failed.
std::optional<QString> keepOtherVersion(const QString &version, const QString &path);

// The file a write, a removal or a set-aside of path acts on: path itself, or, when path is a symbolic
// link, the file the link leads to (relative links and chains followed, in a folder whose own links are
// resolved), which need not exist yet. A state file the user linked elsewhere (into a sync folder) so
// stays a link to the file that is kept up to date. Nothing when the links loop or are too many.
std::optional<QString> linkedFile(const QString &path);

// Removes what saves cut short by a crash or a kill left beside the state files in folder: the
// temporary files named by temporaryTemplate(), nothing else; for a state file that is a link, those of
// the file it leads to, beside that file. Only while nothing saves, as at start: a save in progress has
// such a file too. Returns how many were removed.
int removeInterruptedSaves(const QString &folder);

// A state file read and decoded, with the version it was read at.
template <typename T> struct Loaded {
    std::optional<T> value;  // nothing when the file was missing, unreadable or undecodable
    FileVersion version;     // with the content's hash when the file was read
    bool notRegular = false; // something other than a regular file stands at the path
};

// Reads and decodes a state file. Missing, unreadable and undecodable files give nothing; an
// undecodable one is set aside first, so that the next save cannot overwrite it. One that cannot be
// read (something other than a regular file among them) is left in place.
template <typename T>
Loaded<T> loadVersioned(const QString &path, const std::function<Result<T>(const QByteArray &)> &decode)
{
    ReadResult file = read(path);
    // A file that could not be read is no version a write may replace: a guard reads it again first.
    if (file.status != ReadStatus::Ok)
        return {std::nullopt, {}, file.notRegular};
    file.version.hash = contentHash(file.bytes);
    Result<T> decoded = decode(file.bytes);
    if (!decoded) {
        setAside(path);
        return {std::nullopt, {}, false};
    }
    return {std::move(decoded).value(), file.version, false};
}

template <typename T>
std::optional<T> load(const QString &path, const std::function<Result<T>(const QByteArray &)> &decode)
{
    return loadVersioned<T>(path, decode).value;
}

} // namespace StateFile

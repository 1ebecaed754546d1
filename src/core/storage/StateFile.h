#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Reading and writing the application's state files (slots, slot metadata, bookmark cache,
// playlists): always whole, never half-written, and never silently destroying a file that could not
// be decoded.
namespace StateFile {

enum class ReadStatus { Ok, Missing, Failed };

struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    QByteArray bytes; // room for the JSON parser's padding is reserved behind the data
};

// Waits first for the background writes of the file still pending, so that a read right after a save
// sees what was saved.
ReadResult read(const QString &path);

// Creates the folder with any missing parents and replaces the file atomically: a crash or a full
// disk leaves the previous file whole. Returns false, with a reason in error, when nothing changed.
// Pending background writes of the file go first, so the files keep the order of the calls.
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Which version of a file stands at a path: its size, its modification time and a hash of its
// content. A version of a missing file is default-made.
struct FileVersion {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    QByteArray hash;

    friend bool operator==(const FileVersion &, const FileVersion &) = default;
};

QByteArray contentHash(const QByteArray &bytes);
// The version of the bytes read from path: size and time as they are now, the hash of what was read
// (should the file have changed since the read, the hash tells).
FileVersion versionOf(const QString &path, const QByteArray &contents);
// The file at path is still at version known: size and time, and when they match, the hash of the
// content read again (a rewrite within the same tick of the clock keeps size and time).
bool unchangedSince(const QString &path, const FileVersion &known);

// Called on the writing thread just before the new file is renamed into place; replace() renames it.
// The guard may hold a lock around it, or refuse: return false without calling replace(), with the
// reason in reason (the write then fails with that reason, which is no fault to log).
using Replace = std::function<bool()>;
using ReplaceGuard = std::function<bool(const Replace &replace, QString *reason)>;

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
// always called.
void editInBackground(const QString &path, Encoder encode, WriteDone done = {});

// Removes the file on the same worker, in the same order as its writes: a write asked for before the
// removal cannot bring the file back after it, and one asked for after it replaces it while it waits.
// A file that is already gone counts as removed.
void removeInBackground(const QString &path, WriteDone done = {});

// Returns once no background write of the file (or of any file) is queued or running.
void waitForPendingWrites(const QString &path);
void waitForAllPendingWrites();

// Renames an undecodable file to "<name>.unreadable-<yyyyMMdd-HHmmss>" (with a counter when that is
// taken) and announces it on the notification bus. Returns the new path, or nothing when the rename
// failed.
std::optional<QString> setAside(const QString &path);

// The template of the temporary file a write of path goes through: ".<name>.lyrafold-XXXXXX" beside it.
QString temporaryTemplate(const QString &path);

// Removes what saves cut short by a crash or a kill left beside the state files in folder: the
// temporary files named by temporaryTemplate(), nothing else. Only while nothing saves, as at start: a
// save in progress has such a file too. Returns how many were removed.
int removeInterruptedSaves(const QString &folder);

// Reads and decodes a state file. Missing, unreadable and undecodable files give nothing; an
// undecodable one is set aside first, so that the next save cannot overwrite it.
template <typename T>
std::optional<T> load(const QString &path, const std::function<Result<T>(const QByteArray &)> &decode)
{
    ReadResult file = read(path);
    if (file.status != ReadStatus::Ok)
        return std::nullopt;
    Result<T> decoded = decode(file.bytes);
    if (!decoded) {
        setAside(path);
        return std::nullopt;
    }
    return std::move(decoded).value();
}

} // namespace StateFile

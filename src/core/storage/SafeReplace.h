#pragma once

#include "core/common/BuildProgress.h"
#include "core/common/Result.h"

#include <QString>

// The file system calls a safe replace is made of. Each returns false with a reason the user can read
// when it fails. Tests derive from it to make any one call fail (permissions cannot: CI runs as root).
// Used from worker threads: an implementation keeps no state between calls, or guards it.
class FileOperations {
public:
    enum class Exchange { done, unsupported, failed };

    virtual ~FileOperations() = default;

    // Copies the regular file from to the path to, which must not exist.
    virtual bool copyFile(const QString &from, const QString &to, QString &reason);
    // Flushes a copied file, or a copied folder with everything in it, to the disk.
    virtual bool sync(const QString &path, QString &reason);
    // Makes one folder, which must not exist; its parent must.
    virtual bool makeFolder(const QString &path, QString &reason);
    // rename(2): a file at to is replaced in one step.
    virtual bool rename(const QString &from, const QString &to, QString &reason);
    // Swaps the two entries in one step; unsupported where the file system cannot.
    virtual Exchange exchange(const QString &first, const QString &second, QString &reason);
    // Removes a file, or a folder with everything in it; a symbolic link as a link, never its target.
    virtual bool removeAll(const QString &path, QString &reason);

    // The operations of the real file system.
    static FileOperations &system();
};

// Copies a file or a folder to a destination without ever losing what was there: the copy is made
// under a hidden temporary name beside the destination and moved over it only once complete. A file
// replaces the old one through rename(2); a folder is exchanged with the old one in one step and the
// old copy removed after (where the file system cannot exchange, the old folder is moved aside, the
// new one moved in, and the old removed; a failure in between moves the old one back). A failure or a
// cancel leaves the destination as it was and no temporary copy behind.
namespace SafeReplace {

// The error code of a replace stopped through its BuildProgress.
constexpr int cancelledCode = 1;

// The destination's folder must exist. Refuses a destination that is the source, lies inside it, or
// holds it. Safe on any thread; the progress is only asked whether to stop.
Result<bool> replace(const QString &source, const QString &destination,
                     FileOperations &operations = FileOperations::system(),
                     const BuildProgress *progress = nullptr);

} // namespace SafeReplace

#pragma once

#include <QDate>
#include <QString>

#include <optional>

// Names and places of the files that a share or save exports. Every export lands in the private
// per-user folder of AppPaths::privateTempDir(), never under a predictable name in the shared
// temporary folder, so that no other user can read an export or put a link where it will be written.
// Safe on any thread.
namespace ExportNaming {

// The longest export file or folder name, in UTF-8 bytes: room below the file system's 255 for the
// names that copying into another folder or a download may add.
constexpr qsizetype maxFileNameBytes = 200;

// The name with every "/" and every ":" replaced by "-"; nothing else changes, nothing is trimmed.
QString safeName(const QString &name);

// The stem of a playlist's (or a title's) exports: safeName(name), "_", the day as "yyyy-MM-dd" in the
// user's locale.
QString datedStem(const QString &name, const QDate &day = QDate::currentDate());

// base followed by suffix, with base cut at a character so that the whole stays within
// maxFileNameBytes; a "/" or NUL left in base becomes "-" so that the name cannot leave the folder.
QString fileName(const QString &base, const QString &suffix);

// The path of the export named fileName(base, suffix) in the private folder, ready to be written: an
// earlier file or folder of that name is removed first, a symbolic link as a link, never what it points
// to. Nothing when the folder cannot be made or the old entry cannot be removed.
std::optional<QString> exportPath(const QString &base, const QString &suffix);

} // namespace ExportNaming

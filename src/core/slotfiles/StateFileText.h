#pragma once

#include <QString>

// What the user is told about one of the application's state files, named by what it holds for them
// (their playlists, their bookmarks in a slot) rather than by its file name.
namespace StateFileText {

// "Your playlists could not be saved: the disk is full. The changes stay in Lyrafold until they can be
// saved, and a quit tells you what it could not save." reason is in words for the user
// (StateFile::writeFailureReason()).
QString unsaved(const QString &path, const QString &reason);

// Whether the file is one a book's viewer tells about itself (a book's annotations).
bool isBookFile(const QString &path);

} // namespace StateFileText

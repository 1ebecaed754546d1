#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

class QMimeData;

// Which files can be imported as books: one rule, judged by the file name alone, for the import itself,
// the main window's drop area and the playlists window's file drops.
namespace ImportableFiles {

// The extension "pdf" (any case), a picture extension (jpg, jpeg, png, heic, heif, tif, tiff, webp,
// bmp, any case), or one the shared MIME database knows as an image. Only "pdf" makes a file a PDF.
bool isImportable(const QString &path);
bool isPdf(const QString &path);

// The importable local files among urls, in their order; folders (whatever their name) and other
// addresses are left out.
QStringList importablePaths(const QList<QUrl> &urls);

// The same for what a drag carries; nothing when it carries no file addresses.
QStringList importablePaths(const QMimeData *data);

} // namespace ImportableFiles

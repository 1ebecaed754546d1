#pragma once

#include <QString>
#include <QStringList>

// Where the interface images and the book covers that ship with the application are, by name. Kept
// free of image types so that the PDF writer can find its icons without the widget layer; the UI
// loads the files through LyrafoldUIAssets.
namespace UIAssetFiles {

// The base name of the older file that an image name maps to, or an empty text when it has none.
QString legacyWindowsBaseName(const QString &name);

// The existing files for an image name, in the order they are to be tried: the older file name
// before the name itself, each as png, jpg, then jpeg. A caller takes the first one that loads.
QStringList imageFiles(const QString &name);

// The existing cover files for a book, in the order they are to be tried: "<pdfFileName>.png", then
// the name with its extension replaced by ".pdf" and ".png" appended (Book.PDF and Book both lead to
// Book.pdf.png). A name holding "/" is no file name and has no cover.
QStringList coverFiles(const QString &pdfFileName);

} // namespace UIAssetFiles

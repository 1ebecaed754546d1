#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// The first page of a song for the windows' hover previews.
namespace LyrafoldBookmarkPdfPreview {

// Page pageNumber (1-based) of the PDF at pdfPath, fitted into pixelSize and centred on white; nothing
// when no file is there, it cannot be opened, or it has no such page. Safe on any thread. The book
// opened last stays open for the next call, since a pointer moving down the table stays in one book.
std::optional<QImage> thumbnail(const QString &pdfPath, qint64 pageNumber, const QSize &pixelSize);

} // namespace LyrafoldBookmarkPdfPreview

#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// The cover of a book as the windows' grids show it.
namespace BookCover {

// The picture shipped for the book (by its PDF file name; none for an empty name), else the first page
// of the PDF at pdfPath, fitted into pixelSize and centred on white. Nothing when there is no such
// picture and the PDF cannot be opened, has no pages, or its first page is empty. Safe on any thread.
std::optional<QImage> render(const QString &pdfPath, const QString &coverName, const QSize &pixelSize);

} // namespace BookCover

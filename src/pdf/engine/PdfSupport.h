#pragma once

// Helpers shared by the reading and the writing side of the PDF engine (internal to src/pdf).

#include "core/common/Result.h"
#include "pdf/engine/PdfDocument.h"

#include <QRectF>
#include <QString>

#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <optional>

class QSaveFile;

namespace PdfSupport {

// Rejects, before any PDF library sees the file, what poppler or qpdf would otherwise try to
// reconstruct at length or open as a partial document: a relative path, a missing or unreadable file,
// one without a PDF header, one whose end is missing. The error codes are PdfOpenError values.
std::optional<LyrafoldError> checkFile(const QString &path);

// A rectangle array as a normalised rectangle; empty when the value is missing or malformed.
QRectF rectangle(QPDFObjectHandle box);

// A /Rotate value as written, rounded when it is a real number; 0 when missing or malformed.
int rotation(QPDFObjectHandle rotate);

// A page's boxes and rotation as written, inherited from the page tree where the page sets none.
// Throws what qpdf throws on a damaged page.
PdfPageBoxes boxes(QPDFPageObjectHelper page);

// The rotation a page is shown with: 0, 90, 180 or 270 degrees clockwise. Readers ignore a value
// that is not a multiple of 90, and so do we.
int shownRotation(int rotation);

// Commits a file written through its buffer, after checking that all bytesWritten reached the disk:
// Qt takes a short write for success when it flushes its buffer (a full disk, a file size limit), and
// would put a truncated file in place. On failure the file is discarded.
bool commitComplete(QSaveFile &file, qint64 bytesWritten);

} // namespace PdfSupport

#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <QString>

#include <optional>

class PdfCanvas;
class QRectF;

// A picture read from a file for a PDF page: JPEG data to embed as it is (with the turn that makes it
// upright), or decoded pixels, already upright. Safe on any thread.
struct PictureFile {
    QSize uprightSize; // in pixels, as the picture is shown

    QByteArray jpeg; // when not empty, embedded unchanged
    QSize jpegSize;  // as stored

    QImage pixels; // when there is no JPEG

    // Grey and colour JPEGs are kept as they are. CMYK JPEGs (whose colours a PDF reader would
    // invert) and HEIC/HEIF pictures are decoded and stored as new JPEGs at this quality; everything
    // else Qt's image readers decode.
    static constexpr int reencodeQuality = 90;
    // The most pixels a picture may have: what the viewer renders of a page at most. The size a file
    // claims is checked before anything is decoded, so that a few bytes claiming a huge picture cost
    // nothing.
    static constexpr qint64 maxPixels = 100'000'000;
    // The most bytes a picture may take decoded: the most pixels at 8 bits a channel with alpha. A
    // picture of 16 bits a channel takes twice the bytes a pixel, so it may have half the pixels: a
    // 10000 x 10000 one would take 800 MB before it is drawn.
    static constexpr qint64 maxDecodedBytes = maxPixels * 4;
    // The largest picture file read: room for one stored without compression, at the widest pixel.
    static constexpr qint64 maxBytes = maxPixels * 8;
    // Fails with "Picture too large: W x H" above maxPixels or maxDecodedBytes, with a message when the
    // file is not a regular file or holds more than maxBytes, and without one when it cannot be read
    // as a picture, a JPEG of more markers than JpegMarkers bounds among them.
    static Result<PictureFile> load(const QString &path);

    // Fills page white and draws the picture over all of it; false when the canvas failed.
    bool draw(PdfCanvas &canvas, const QRectF &page) const;

    // The picture of a file's bytes, as load() reads them, and the turn that makes its JPEG upright: what
    // the tests, the fuzzer and the benchmark give and look at.
    static Result<PictureFile> readForTesting(const QByteArray &bytes) { return read(bytes); }
    QImageIOHandler::Transformations orientationForTesting() const { return orientation; }

private:
    static Result<PictureFile> read(const QByteArray &bytes);

    // The turn that makes the JPEG upright.
    QImageIOHandler::Transformations orientation = QImageIOHandler::TransformationNone;
};

#pragma once

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <QString>

#include <optional>

// A picture read from a file for a PDF page: JPEG data to embed as it is (with the turn that makes it
// upright), or decoded pixels, already upright. Safe on any thread.
struct PictureFile {
    QSize uprightSize; // in pixels, as the picture is shown

    QByteArray jpeg; // when not empty, embedded unchanged
    QSize jpegSize;  // as stored
    QImageIOHandler::Transformations orientation = QImageIOHandler::TransformationNone;

    QImage pixels; // when there is no JPEG

    // Grey and colour JPEGs are kept as they are. CMYK JPEGs (whose colours a PDF reader would
    // invert) and HEIC/HEIF pictures are decoded and stored as new JPEGs at this quality; everything
    // else Qt's image readers decode. Nothing when the file cannot be read as a picture.
    static constexpr int reencodeQuality = 90;
    static std::optional<PictureFile> load(const QString &path);
};

#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

// JPEG through libjpeg-turbo: a page image encoded in a few milliseconds, where QImage's writer takes
// tens. Safe on any thread.
namespace JpegCodec {

// The image as a baseline JPEG with 4:2:0 chroma subsampling; nothing for a null image or a failure.
std::optional<QByteArray> encode(const QImage &image, int quality);

struct Header {
    QSize size;        // as stored, before any EXIF orientation
    bool cmyk = false; // four components (CMYK or YCCK)
};

// What the JPEG's header says, without looking further; nothing when there is no readable header.
std::optional<Header> readHeader(const QByteArray &jpeg);

// What the JPEG's header says, once its image data has been seen to decode (at an eighth of its
// size, which costs little); nothing for data that is not a readable JPEG.
std::optional<Header> inspect(const QByteArray &jpeg);

} // namespace JpegCodec

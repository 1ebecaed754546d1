#include "pdf/import/JpegMarkers.h"

#include <algorithm>
#include <cstring>

namespace {

using Transformations = QImageIOHandler::Transformations;

constexpr uchar startOfScan = 0xDA;
constexpr uchar endOfImage = 0xD9;
constexpr uchar app1 = 0xE1;
constexpr quint16 orientationTag = 0x0112;
constexpr quint16 typeShort = 3;

// Markers without a segment: TEM, the restart markers, SOI and EOI.
bool standalone(uchar code)
{
    return code == 0x01 || (code >= 0xD0 && code <= 0xD9);
}

// Within a scan, a stuffed zero and the restart markers belong to the picture data.
bool pictureData(uchar code)
{
    return code == 0x00 || (code >= 0xD0 && code <= 0xD7);
}

// The turn EXIF's orientation values 1 to 8 stand for, as Qt's readers give them.
Transformations fromExif(quint32 orientation)
{
    switch (orientation) {
    case 2:
        return QImageIOHandler::TransformationMirror;
    case 3:
        return QImageIOHandler::TransformationRotate180;
    case 4:
        return QImageIOHandler::TransformationFlip;
    case 5:
        return QImageIOHandler::TransformationFlipAndRotate90;
    case 6:
        return QImageIOHandler::TransformationRotate90;
    case 7:
        return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8:
        return QImageIOHandler::TransformationRotate270;
    default:
        return QImageIOHandler::TransformationNone;
    }
}

// Numbers of a TIFF structure in either byte order, read only within its bytes: offsets come from the
// file and may point anywhere.
class TiffBytes {
public:
    TiffBytes(const uchar *data, qint64 size, bool bigEndian) : m_data(data), m_size(size), m_big(bigEndian)
    {
    }

    std::optional<quint32> u16(qint64 at) const { return number(at, 2); }
    std::optional<quint32> u32(qint64 at) const { return number(at, 4); }

private:
    std::optional<quint32> number(qint64 at, int width) const
    {
        if (at < 0 || at > m_size - width)
            return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < width; ++i)
            value |= quint32(m_data[at + i]) << (8 * (m_big ? width - 1 - i : i));
        return value;
    }

    const uchar *m_data;
    qint64 m_size;
    bool m_big;
};

// Nothing when the segment does not hold EXIF; else the turn its IFD0 gives (none when that does not
// read).
std::optional<Transformations> exifOrientation(const uchar *segment, qint64 size)
{
    constexpr qint64 signatureSize = 6;
    if (size < signatureSize || std::memcmp(segment, "Exif\0\0", signatureSize) != 0)
        return std::nullopt;
    const uchar *tiff = segment + signatureSize;
    const qint64 tiffSize = size - signatureSize;
    if (tiffSize < 8 || tiff[0] != tiff[1] || (tiff[0] != 'I' && tiff[0] != 'M'))
        return QImageIOHandler::TransformationNone;
    const TiffBytes bytes(tiff, tiffSize, tiff[0] == 'M');
    const std::optional<quint32> ifd = bytes.u32(4);
    const std::optional<quint32> entries = ifd ? bytes.u16(*ifd) : std::nullopt;
    if (bytes.u16(2) != 42u || !entries)
        return QImageIOHandler::TransformationNone;
    constexpr qint64 entrySize = 12;
    for (qint64 i = 0; i < *entries; ++i) {
        const qint64 entry = qint64(*ifd) + 2 + i * entrySize;
        const std::optional<quint32> value = bytes.u16(entry + 8);
        if (!value)
            break; // the count claims entries beyond the segment
        if (bytes.u16(entry) != orientationTag)
            continue;
        const bool one = bytes.u16(entry + 2) == typeShort && bytes.u32(entry + 4) == 1u;
        return one ? fromExif(*value) : QImageIOHandler::TransformationNone;
    }
    return QImageIOHandler::TransformationNone;
}

} // namespace

namespace JpegMarkers {

std::optional<Header> walk(const QByteArray &jpeg)
{
    const auto *data = reinterpret_cast<const uchar *>(jpeg.constData());
    const qint64 size = jpeg.size();
    Header header;
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return header;
    bool exifSeen = false;
    bool inScan = false;
    int markers = 1;
    qint64 headerBytes = 2;
    qint64 at = 2;
    while (at < size) {
        const auto *ff = static_cast<const uchar *>(std::memchr(data + at, 0xFF, size_t(size - at)));
        if (!ff)
            break;
        // Any number of fill bytes may precede a marker's code.
        qint64 next = ff - data + 1;
        while (next < size && data[next] == 0xFF)
            ++next;
        if (next >= size)
            break;
        const uchar code = data[next++];
        if (inScan && pictureData(code)) {
            at = next;
            continue;
        }
        // Outside a scan the bytes before a marker are stray ones, which libjpeg steps over as the walk
        // does (a stuffed zero there too); inside a scan they are its picture data.
        const qint64 start = inScan ? ff - data : at;
        inScan = false;
        qint64 end = next;
        if (code != 0x00) {
            ++markers;
            if (!standalone(code)) {
                if (next + 2 > size)
                    break;
                // A length below 2 covers no more than itself, as libjpeg reads it.
                const qint64 length = std::max(2, (data[next] << 8) | data[next + 1]);
                end = std::min(size, next + length);
                if (code == app1 && !exifSeen) {
                    if (const auto turn = exifOrientation(data + next + 2, end - next - 2)) {
                        exifSeen = true;
                        header.orientation = *turn;
                    }
                }
                inScan = code == startOfScan;
            }
        }
        headerBytes += end - start;
        if (markers > maxMarkers || headerBytes > maxHeaderBytes)
            return std::nullopt;
        if (code == endOfImage)
            break;
        at = end;
    }
    return header;
}

} // namespace JpegMarkers

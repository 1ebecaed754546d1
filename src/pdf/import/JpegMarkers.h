#pragma once

#include <QByteArray>
#include <QImageIOHandler>
#include <QtGlobal>

#include <optional>

// One pass over the markers of a JPEG from other people, in time linear in its size, before any reader
// is made for it. Qt's JPEG reader keeps the APP1, APP2 and COM segments in a list that it walks to its
// end for each one it adds, so a file of 200,000 tiny segments kept an import busy for minutes; a file
// beyond the bounds here never reaches it. Safe on any thread.
namespace JpegMarkers {

// Far above what cameras and editors write. A photo holds a few dozen markers: EXIF, XMP with its
// extension in pieces of 64 KB, an ICC profile in pieces, the tables, and in a progressive JPEG the
// tables and the header of each of its ten or so scans.
inline constexpr int maxMarkers = 4096;
// The bytes of all the markers with their segments (not the picture data): a photo's header takes
// tens of KB, one with a large ICC profile or an XMP extension holding a depth map a few MB.
inline constexpr qint64 maxHeaderBytes = 64 << 20;

struct Header {
    // From the EXIF orientation (tag 0x0112 of IFD0 in the first APP1 segment that holds EXIF); none
    // when there is none or it does not read.
    QImageIOHandler::Transformations orientation = QImageIOHandler::TransformationNone;
};

// The markers of jpeg, which begins with SOI (FF D8), up to EOI or the end of the data, the picture
// data of every scan stepped over; nothing when they are more than maxMarkers or take more than
// maxHeaderBytes. Data that is cut short or breaks the marker structure is left to the decoder to
// refuse: the walk tells what it could read.
std::optional<Header> walk(const QByteArray &jpeg);

} // namespace JpegMarkers

#pragma once

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Small PDF books made on the spot: pages and outlines drawn through cairo, with what cairo cannot
// write (rotation, crop boxes, unusual or broken outlines, encryption) set through qpdf.
namespace PdfFixtures {

struct Page {
    QSizeF size = QSizeF(612, 792);
    int rotation = 0; // written as /Rotate when not 0
    QRectF cropBox;   // written when not null, even when empty
    bool emptyMediaBox = false;
};

// One outline item; its parent is the nearest earlier item one level up.
struct OutlineItem {
    QString title;
    int level = 0;
    int page = 0; // 1-based; 0 for an item without a destination
};

// The top-left quarter of every page is drawn black, so that renders show the orientation.
void write(const QString &path, const QList<Page> &pages, const QList<OutlineItem> &outline = {});

// A book of one page per song, with an outline item for each song at its page (folders made as
// needed); without songs, one page and no outline.
void writeSongbook(const QString &path, const QStringList &songs);

// A node of a raw outline graph. first and next are indexes into the node list (-1 for none) and
// may form any graph, cycles included; the outline root's first child is node 0. entries are more
// dictionary entries in PDF syntax, where "{p3}" stands for a reference to page 3.
struct OutlineNode {
    QString title;
    int first = -1;
    int next = -1;
    QByteArray entries;
};

// Replaces the outline of the PDF at path with the graph, and adds catalogEntries (PDF syntax,
// "{pN}" as above) to its catalog.
void rewriteOutline(const QString &path, const QList<OutlineNode> &nodes,
                    const QByteArray &catalogEntries = {});

// A page that shows one picture over its whole area, the picture's data stored exactly as given.
struct ScanPage {
    QByteArray data;
    QByteArray filter = "/DCTDecode";
    QByteArray colorSpace = "/DeviceRGB";
    int width = 0;
    int height = 0;
    int bitsPerComponent = 8;
    QByteArray decode; // a /Decode array in PDF syntax, when not empty
    QSizeF size = QSizeF(612, 792);
};

// A book of scanned pages, written through qpdf.
void writeScan(const QString &path, const QList<ScanPage> &pages);

// A JPEG of a light grey page with black bars, of the given size, in RGB or in CMYK as Adobe stores it
// (inverted, to be read with /Decode [1 0 1 0 1 0 1 0]).
QByteArray jpeg(const QSize &size, bool cmyk = false);

// An image as a PDF stores it: its filter (in PDF syntax) and its bytes, still encoded.
struct StoredImage {
    QString filter;
    QByteArray data;
    friend bool operator==(const StoredImage &, const StoredImage &) = default;
};

// Every image that a page of the PDF at path shows, inside forms too.
QList<StoredImage> images(const QString &path, int pageIndex);

// Rewrites the PDF at path encrypted with the given user password (which may be empty).
void encrypt(const QString &path, const QByteArray &userPassword);

} // namespace PdfFixtures

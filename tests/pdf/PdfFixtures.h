#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Small PDF books made on the spot: pages and outlines drawn through cairo, with what cairo cannot
// write (rotation, crop boxes, unusual destination forms, broken outline links) set through qpdf.
namespace PdfFixtures {

// A file of the shared test data, by its path below the test data folder.
QString testData(const char *relativePath);

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

// A black square marks the top-left corner of every page, so that renders show the orientation.
void write(const QString &path, const QList<Page> &pages, const QList<OutlineItem> &outline = {});

// How an outline node of rewriteOutline points to its page.
enum class Destination {
    None,
    PageReference,     // /Dest [page /Fit]
    PageNumber,        // /Dest [index /Fit], as some producers write it
    NamedString,       // /Dest (name), resolved through the /Names tree
    NamedObject,       // /Dest /name, resolved through the catalog's /Dests dictionary
    GoToNamed,         // /A << /S /GoTo /D (name) >>, the name resolving to << /D [page /Fit] >>
    GoToPageReference, // /A << /S /GoTo /D [page /Fit] >>
    RemoteGoTo,        // /A << /S /GoToR /F (other.pdf) /D [0 /Fit] >>
    UnknownName,       // /Dest (name) with no such name in the document
};

// A node of a raw outline graph. first and next are indexes into the node list (-1 for none) and
// may form any graph, cycles included; the outline root's first child is node 0.
struct OutlineNode {
    QString title;
    int first = -1;
    int next = -1;
    int page = 0;
    Destination destination = Destination::PageReference;
};

// Replaces the outline of the PDF at path with the given graph.
void rewriteOutline(const QString &path, const QList<OutlineNode> &nodes);

// Rewrites the PDF at path encrypted with the given user password (which may be empty).
void encrypt(const QString &path, const QByteArray &userPassword);

} // namespace PdfFixtures

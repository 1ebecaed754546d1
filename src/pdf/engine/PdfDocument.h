#pragma once

#include "core/common/Result.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

// Why a document could not be opened; the error code of a failed PdfDocument::open.
enum class PdfOpenError {
    NotAbsolute = 1,
    Missing,
    Unreadable,
    NotPdf,
    Truncated,
    Damaged,
    PasswordProtected,
};

// One item of a document outline.
struct PdfOutlineItem {
    QString title;                // the label as written; empty when the item has none
    int level = 0;                // 0 for the children of the outline root
    std::optional<int> pageIndex; // 0-based page in this document; none without a usable destination

    friend bool operator==(const PdfOutlineItem &, const PdfOutlineItem &) = default;
};

// A page's boxes and rotation as written in the file (inherited from the page tree where the page
// sets none), in default user space units: not clipped to each other and not rotated.
struct PdfPageBoxes {
    QRectF mediaBox; // normalised; empty when missing or malformed
    QRectF cropBox;  // normalised; empty when neither the page nor its parents set one
    int rotation = 0;
};

class PdfDocument;
using PdfDocumentPtr = std::shared_ptr<PdfDocument>;

// An open PDF book: everything the application reads from a PDF goes through here, so that the
// PDF libraries stay out of every other file.
//
// Threads: every method may be called from any thread. The calls on one document are serialised by
// a lock of its own, because a poppler document crashes when two threads use it at once; render
// pages in parallel through one document per thread. Nothing here needs the UI thread.
class PdfDocument {
public:
    // Renders larger than this many pixels are refused rather than attempted.
    static constexpr qint64 maxRenderPixels = 100'000'000;

    // Opens the file at an absolute path. A relative path, a missing or unreadable file, a file that
    // is not a PDF, a truncated or damaged one, and one that needs a password all fail, with a
    // PdfOpenError as code. A file encrypted without a user password opens.
    static Result<PdfDocumentPtr> open(const QString &absolutePath);

    ~PdfDocument();
    PdfDocument(const PdfDocument &) = delete;
    PdfDocument &operator=(const PdfDocument &) = delete;

    QString path() const;
    int pageCount() const;

    // The page as shown, in points: the visible area (crop box clipped to the media box) with the
    // page's rotation applied. Empty for a page that does not exist.
    QSizeF pageSize(int pageIndex) const;

    Result<PdfPageBoxes> pageBoxes(int pageIndex) const;

    // The outline, flattened in pre-order: every item comes before its children, and children
    // keep their outline order. Empty when the document has none.
    QList<PdfOutlineItem> outline() const;

    // Renders the page as shown (rotation applied) at scale pixels per point, onto white, into a
    // 24-bit RGB image. With a region, only that rectangle of the full page image at this scale is
    // rendered. Fonts stay loaded between calls, so the pages after the first come faster.
    // When abandoned turns true (from any thread) the render fails with renderAbandonedCode. The drawing
    // stops at the next operator; an image not yet begun is skipped, but an image under way, which one
    // operator draws, is decoded no further and still scaled row by row to its end: on a scanned page
    // that is most of the render.
    // A book whose file became shorter since it was opened (cut short by another program, a sync tool
    // or a disk that filled) fails with bookCutShortCode: what poppler has yet to read of it is gone,
    // and poppler would draw such pages blank without a word.
    Result<QImage> render(int pageIndex, double scale, const QRect &region = QRect(),
                          const std::atomic<bool> *abandoned = nullptr) const;
    static constexpr int bookCutShortCode = 2;
    // No caller tells a render given up on from another failure: the code is for the tests of render().
    static constexpr int renderAbandonedCodeForTesting() { return renderAbandonedCode; }

    // Where the image of a scanned page lies, in points of the page as shown: a page that shows one
    // image over (nearly) all of it, not skewed, and nothing else (text drawn invisibly, as a scan's
    // recognised text is, and a background fill do not count). Nothing for any other page, and for a
    // page that does not exist or cannot be read. Such a page's renders cost the decoding and scaling
    // of that image (see ScannedPageImage).
    std::optional<QRectF> scannedImage(int pageIndex) const;

    // A picture of the page fitted into size and centred on white. A page whose crop box and media
    // box are both empty gives a transparent image of that size, and so does a page that does not
    // exist. An empty size gives a null image.
    QImage thumbnail(int pageIndex, const QSize &size) const;

    // The largest scale at which a page of pageSize fits into target.
    static double fitScale(const QSizeF &pageSize, const QSizeF &target);

private:
    static constexpr int renderAbandonedCode = 1;

    // The outline walk stops descending below this depth, and stops altogether after this many
    // items: a malformed outline can neither exhaust the stack nor run on without end.
    static constexpr int maxOutlineDepth = 64;
    static constexpr int maxOutlineItems = 100000;

    struct Impl;
    explicit PdfDocument(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

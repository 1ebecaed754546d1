#pragma once

#include "pdf/engine/PdfCanvas.h"

#include <QRectF>

#include <functional>
#include <memory>

class QIODevice;

// A PDF that cairo draws page by page into a device: the drawings PdfWriter places over copied pages
// (into memory) and the pages of imported pictures (into a file).
class PdfDrawingStream {
public:
    // Shared: a picture drawn on several pages is stored once, and kept in memory until the end.
    // Once: every picture is drawn once, and its memory goes with its page.
    enum class Images { Shared, Once };

    explicit PdfDrawingStream(QIODevice *device, Images images = Images::Shared);
    ~PdfDrawingStream();
    PdfDrawingStream(const PdfDrawingStream &) = delete;
    PdfDrawingStream &operator=(const PdfDrawingStream &) = delete;

    // Adds a page that shows area of the canvas (see PdfCanvas). False, with the document unusable,
    // when draw says it failed or cairo failed.
    bool addPage(const QRectF &area, const std::function<bool(PdfCanvas &)> &draw);
    int pageCount() const;
    // What went into the device so far.
    qint64 bytesWritten() const;

    // Finishes the document; false when any page or the device failed.
    bool finish();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

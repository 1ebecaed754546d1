#include <cairo-pdf.h>
#include <cairo.h>

#include "pdf/engine/PdfDrawingStream.h"

#include <QIODevice>

namespace {

struct Sink {
    QIODevice *device = nullptr;
    qint64 written = 0;
};

cairo_status_t writeToDevice(void *closure, const unsigned char *data, unsigned int length)
{
    auto *sink = static_cast<Sink *>(closure);
    if (sink->device->write(reinterpret_cast<const char *>(data), length) != qint64(length))
        return CAIRO_STATUS_WRITE_ERROR;
    sink->written += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

struct PdfDrawingStream::Impl {
    Sink sink;
    cairo_surface_t *surface = nullptr;
    cairo_t *context = nullptr;
    PdfCanvas::ImageStore images;
    PdfDrawingStream::Images imageUse = PdfDrawingStream::Images::Shared;
    int pages = 0;
    bool failed = false;

    bool healthy() const
    {
        return !failed && (!surface || (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
                                        cairo_status(context) == CAIRO_STATUS_SUCCESS));
    }
};

PdfDrawingStream::PdfDrawingStream(QIODevice *device, Images images) : m_impl(std::make_unique<Impl>())
{
    m_impl->sink.device = device;
    m_impl->imageUse = images;
}

PdfDrawingStream::~PdfDrawingStream()
{
    if (m_impl->context)
        cairo_destroy(m_impl->context);
    if (m_impl->surface)
        cairo_surface_destroy(m_impl->surface);
}

bool PdfDrawingStream::addPage(const QRectF &area, const std::function<bool(PdfCanvas &)> &draw)
{
    Impl &d = *m_impl;
    if (!d.healthy() || !(area.width() > 0) || !(area.height() > 0))
        return false;
    // The size is set before anything is drawn on a page, the first one included.
    if (!d.surface) {
        d.surface = cairo_pdf_surface_create_for_stream(writeToDevice, &d.sink, area.width(), area.height());
        d.context = cairo_create(d.surface);
    } else {
        cairo_pdf_surface_set_size(d.surface, area.width(), area.height());
    }
    {
        PdfCanvas::ImageStore pageImages;
        PdfCanvas canvas(d.context, area, d.imageUse == Images::Shared ? d.images : pageImages);
        if (!draw(canvas))
            d.failed = true;
        cairo_show_page(d.context);
    }
    ++d.pages;
    return d.healthy();
}

int PdfDrawingStream::pageCount() const
{
    return m_impl->pages;
}

qint64 PdfDrawingStream::bytesWritten() const
{
    return m_impl->sink.written;
}

bool PdfDrawingStream::finish()
{
    Impl &d = *m_impl;
    if (!d.surface)
        return !d.failed;
    cairo_destroy(d.context);
    d.context = nullptr;
    cairo_surface_finish(d.surface);
    const bool ok = !d.failed && cairo_surface_status(d.surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(d.surface);
    d.surface = nullptr;
    return ok;
}

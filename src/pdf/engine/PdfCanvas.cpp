#include <cairo.h>
#include <pango/pangocairo.h>

#include "pdf/engine/PdfCanvas.h"

#include <QCryptographicHash>
#include <QHash>
#include <QTransform>

#include <cstring>

namespace {

using SurfacePtr = std::shared_ptr<cairo_surface_t>;

SurfacePtr adopt(cairo_surface_t *surface)
{
    return SurfacePtr(surface, cairo_surface_destroy);
}

// The mime data of a surface must live as long as cairo holds it.
void releaseBytes(void *bytes)
{
    delete static_cast<QByteArray *>(bytes);
}

bool attach(cairo_surface_t *surface, const char *mimeType, const QByteArray &bytes)
{
    auto *copy = new QByteArray(bytes);
    const auto status = cairo_surface_set_mime_data(
        surface, mimeType, reinterpret_cast<const unsigned char *>(copy->constData()),
        (unsigned long)(copy->size()), releaseBytes, copy);
    if (status != CAIRO_STATUS_SUCCESS) {
        delete copy;
        return false;
    }
    return true;
}

// A surface with pixels of its own: cairo may still read them when the page is long finished.
SurfacePtr imageSurface(const QImage &image)
{
    const bool opaque = !image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    SurfacePtr surface = adopt(cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                                          pixels.width(), pixels.height()));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return surface;
    cairo_surface_flush(surface.get());
    unsigned char *target = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const size_t rowBytes = size_t(pixels.width()) * 4;
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(target + size_t(y) * size_t(stride), pixels.constScanLine(y), rowBytes);
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// Maps the stored picture (pixels, y down) onto its upright form as QImageReader's automatic
// transformation gives it: mirrored and flipped first, then turned a quarter clockwise.
QTransform orientationTransform(const QSize &stored, QImageIOHandler::Transformations orientation)
{
    const double w = stored.width();
    const double h = stored.height();
    if (orientation == QImageIOHandler::TransformationRotate270)
        return QTransform(0, -1, 1, 0, 0, w); // (x, y) -> (y, w - x)
    QTransform t;
    if (orientation & QImageIOHandler::TransformationMirror)
        t *= QTransform(-1, 0, 0, 1, w, 0);
    if (orientation & QImageIOHandler::TransformationFlip)
        t *= QTransform(1, 0, 0, -1, 0, h);
    if (orientation & QImageIOHandler::TransformationRotate90)
        t *= QTransform(0, 1, -1, 0, h, 0); // (x, y) -> (h - y, x)
    return t;
}

cairo_matrix_t cairoMatrix(const QTransform &t)
{
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy());
    return m;
}

struct LayoutDeleter {
    void operator()(PangoLayout *layout) const { g_object_unref(layout); }
};

std::unique_ptr<PangoLayout, LayoutDeleter> makeLayout(cairo_t *cr, const QString &text,
                                                       const PdfCanvas::Font &font)
{
    PangoLayout *layout = pango_cairo_create_layout(cr);
    PangoFontDescription *description = pango_font_description_new();
    pango_font_description_set_family(description, font.family.toUtf8().constData());
    pango_font_description_set_weight(description, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(description, font.size * PANGO_SCALE);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    const QByteArray utf8 = text.toUtf8();
    pango_layout_set_text(layout, utf8.constData(), int(utf8.size()));
    return std::unique_ptr<PangoLayout, LayoutDeleter>(layout);
}

} // namespace

struct PdfCanvas::ImageStore::Impl {
    struct Entry {
        SurfacePtr surface;
    };
    QHash<qint64, Entry> images;    // by QImage::cacheKey()
    QHash<QByteArray, Entry> jpegs; // by the data's hash
};

PdfCanvas::ImageStore::ImageStore() : m_impl(std::make_unique<Impl>()) {}

PdfCanvas::ImageStore::~ImageStore() = default;

PdfCanvas::PdfCanvas(_cairo *context, const QRectF &area, ImageStore &images)
    : m_cr(context), m_area(area), m_images(images)
{
}

QPointF PdfCanvas::device(const QPointF &point) const
{
    return QPointF(point.x() - m_area.x(), m_area.y() + m_area.height() - point.y());
}

// In Qt's terms a rectangle in PDF space has its top edge at bottom(), since y grows upwards.
QRectF PdfCanvas::device(const QRectF &rect) const
{
    return QRectF(device(rect.bottomLeft()), rect.size());
}

void PdfCanvas::setColor(const QColor &color)
{
    cairo_set_source_rgba(m_cr, color.redF(), color.greenF(), color.blueF(), color.alphaF());
}

void PdfCanvas::fillRect(const QRectF &rect, const QColor &color)
{
    cairo_save(m_cr);
    const QRectF r = device(rect);
    cairo_rectangle(m_cr, r.x(), r.y(), r.width(), r.height());
    setColor(color);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

void PdfCanvas::strokeRect(const QRectF &rect, const QColor &color, double lineWidth)
{
    cairo_save(m_cr);
    const QRectF r = device(rect);
    cairo_rectangle(m_cr, r.x(), r.y(), r.width(), r.height());
    setColor(color);
    cairo_set_line_width(m_cr, lineWidth);
    cairo_stroke(m_cr);
    cairo_restore(m_cr);
}

void PdfCanvas::fillEllipse(const QRectF &rect, const QColor &color)
{
    if (rect.isEmpty())
        return;
    cairo_save(m_cr);
    const QRectF r = device(rect);
    cairo_new_path(m_cr); // an arc joins the current point, which text leaves behind
    cairo_translate(m_cr, r.center().x(), r.center().y());
    cairo_scale(m_cr, r.width() / 2, r.height() / 2);
    cairo_arc(m_cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(m_cr);
    cairo_save(m_cr);
    setColor(color);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

void PdfCanvas::strokePolyline(const QList<QPointF> &points, const QColor &color, double lineWidth,
                               bool multiply)
{
    if (points.size() < 2)
        return;
    cairo_save(m_cr);
    const QPointF first = device(points.first());
    cairo_move_to(m_cr, first.x(), first.y());
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF p = device(points[i]);
        cairo_line_to(m_cr, p.x(), p.y());
    }
    setColor(color);
    cairo_set_line_width(m_cr, lineWidth);
    cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_ROUND);
    if (multiply)
        cairo_set_operator(m_cr, CAIRO_OPERATOR_MULTIPLY);
    cairo_stroke(m_cr);
    cairo_restore(m_cr);
}

QSizeF PdfCanvas::textSize(const QString &text, const Font &font)
{
    const auto layout = makeLayout(m_cr, text, font);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    return QSizeF(double(logical.width) / PANGO_SCALE, double(logical.height) / PANGO_SCALE);
}

void PdfCanvas::drawText(const QString &text, const QPointF &topLeft, const Font &font, const QColor &color)
{
    cairo_save(m_cr);
    const auto layout = makeLayout(m_cr, text, font);
    const QPointF at = device(topLeft);
    cairo_move_to(m_cr, at.x(), at.y());
    setColor(color);
    pango_cairo_show_layout(m_cr, layout.get());
    cairo_new_path(m_cr);
    cairo_restore(m_cr);
}

bool PdfCanvas::drawImage(const QImage &image, const QRectF &target)
{
    if (image.isNull() || target.isEmpty())
        return false;
    auto &entry = m_images.m_impl->images[image.cacheKey()];
    if (!entry.surface) {
        entry.surface = imageSurface(image);
    }
    if (cairo_surface_status(entry.surface.get()) != CAIRO_STATUS_SUCCESS) {
        m_images.m_impl->images.remove(image.cacheKey());
        return false;
    }
    cairo_save(m_cr);
    const QRectF r = device(target);
    cairo_translate(m_cr, r.x(), r.y());
    cairo_scale(m_cr, r.width() / image.width(), r.height() / image.height());
    cairo_set_source_surface(m_cr, entry.surface.get(), 0, 0);
    cairo_rectangle(m_cr, 0, 0, image.width(), image.height());
    cairo_fill(m_cr);
    cairo_restore(m_cr);
    return cairo_status(m_cr) == CAIRO_STATUS_SUCCESS;
}

bool PdfCanvas::drawJpeg(const QByteArray &jpeg, const QSize &pixelSize,
                         QImageIOHandler::Transformations orientation, const QRectF &target)
{
    if (jpeg.isEmpty() || pixelSize.isEmpty() || target.isEmpty())
        return false;
    const QByteArray id = QCryptographicHash::hash(jpeg, QCryptographicHash::Sha1).toHex();
    auto &entry = m_images.m_impl->jpegs[id];
    if (!entry.surface) {
        // The PDF takes the JPEG data as it is. The surface that carries it holds no pixels: an image
        // surface of the picture's size would be allocated in full, and its pixels read, for nothing.
        const cairo_rectangle_t extents{0, 0, double(pixelSize.width()), double(pixelSize.height())};
        SurfacePtr surface = adopt(cairo_recording_surface_create(CAIRO_CONTENT_COLOR, &extents));
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS ||
            !attach(surface.get(), CAIRO_MIME_TYPE_JPEG, jpeg) ||
            !attach(surface.get(), CAIRO_MIME_TYPE_UNIQUE_ID, id)) {
            m_images.m_impl->jpegs.remove(id);
            return false;
        }
        entry.surface = std::move(surface);
    }
    const QTransform upright = orientationTransform(pixelSize, orientation);
    const QRectF uprightRect = upright.mapRect(QRectF(QPointF(), QSizeF(pixelSize)));
    const QRectF r = device(target);
    const QTransform toTarget =
        upright * QTransform::fromTranslate(-uprightRect.x(), -uprightRect.y()) *
        QTransform::fromScale(r.width() / uprightRect.width(), r.height() / uprightRect.height()) *
        QTransform::fromTranslate(r.x(), r.y());
    cairo_save(m_cr);
    const cairo_matrix_t m = cairoMatrix(toTarget);
    cairo_transform(m_cr, &m);
    cairo_set_source_surface(m_cr, entry.surface.get(), 0, 0);
    cairo_rectangle(m_cr, 0, 0, pixelSize.width(), pixelSize.height());
    cairo_fill(m_cr);
    cairo_restore(m_cr);
    return cairo_status(m_cr) == CAIRO_STATUS_SUCCESS;
}

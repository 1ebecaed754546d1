#include <libheif/heif.h>

#include "core/common/InputFile.h"
#include "core/common/UiText.h"
#include "pdf/import/PictureFile.h"

#include "pdf/engine/JpegCodec.h"
#include "pdf/engine/PdfCanvas.h"
#include "pdf/import/JpegMarkers.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

bool isJpeg(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xD8\xFF");
}

bool isHeif(const QByteArray &bytes)
{
    return heif_check_filetype(reinterpret_cast<const uint8_t *>(bytes.constData()),
                               int(std::min<qsizetype>(bytes.size(), 64))) == heif_filetype_yes_supported;
}

qint64 megabytes(qint64 bytes)
{
    constexpr qint64 megabyte = 1 << 20;
    return (bytes + megabyte - 1) / megabyte;
}

// Upright pixels through Qt's readers (EXIF and TIFF orientation applied). Their allocation limit
// is the process's; it is raised once to what the budget's largest picture takes, since the size a
// file claims is checked before they run. Qt's own default (128 MB) refuses a colour scan of an A4
// page at 600 dpi.
QImage readWithQt(const QByteArray &bytes)
{
    static std::once_flag once;
    std::call_once(once,
                   [] { QImageReader::setAllocationLimit(int(megabytes(PictureFile::maxDecodedBytes))); });
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

Result<PictureFile> unreadable()
{
    return Result<PictureFile>::failure(QString());
}

// Nothing when the size is within the budget, for pixels of the given bytes (8 bits a channel with
// alpha unless said otherwise).
std::optional<Result<PictureFile>> tooLarge(qint64 width, qint64 height, qint64 bytesPerPixel = 4)
{
    const qint64 pixels = width * height;
    if (pixels <= PictureFile::maxPixels && pixels * bytesPerPixel <= PictureFile::maxDecodedBytes)
        return std::nullopt;
    return Result<PictureFile>::failure(UiText::tr("Picture too large: %1 x %2").arg(width).arg(height));
}

// The size libheif names when it refuses a picture beyond its limit ("... 22341x16976 exceeds ...").
std::optional<QSize> refusedSize(const heif_error &error)
{
    static const QRegularExpression size(QStringLiteral("(\\d+)x(\\d+)"));
    const QRegularExpressionMatch claimed = size.match(QString::fromUtf8(error.message));
    if (error.code != heif_error_Memory_allocation_error ||
        error.subcode != heif_suberror_Security_limit_exceeded || !claimed.hasMatch())
        return std::nullopt;
    return QSize(claimed.captured(1).toInt(), claimed.captured(2).toInt());
}

// The primary picture, its size checked against the budget before any pixels are decoded: the size
// the picture reports with its rotation, the size stored in the file (ispe), and the size decoding
// allocates first, the coded picture or a grid's canvas, which can be far larger than the file says.
Result<QImage> readHeif(const QByteArray &bytes)
{
    const auto failure = [](const QString &message = {}) { return Result<QImage>::failure(message); };
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                              heif_context_free);
    if (!context)
        return failure();
    // libheif bounds what it reads and decodes by a size per side only. A panorama within the budget
    // can be long, so the side is generous and the area is checked here.
    constexpr int maxSide = 32'768;
    heif_context_set_maximum_image_size_limit(context.get(), maxSide);
    if (heif_context_read_from_memory_without_copy(context.get(), bytes.constData(), size_t(bytes.size()),
                                                   nullptr)
            .code != heif_error_Ok)
        return failure();
    heif_image_handle *rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return failure();
    const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(
        rawHandle, heif_image_handle_release);
    const qint64 width = heif_image_handle_get_width(handle.get());
    const qint64 height = heif_image_handle_get_height(handle.get());
    const qint64 storedWidth = heif_image_handle_get_ispe_width(handle.get());
    const qint64 storedHeight = heif_image_handle_get_ispe_height(handle.get());
    if (width < 1 || height < 1)
        return failure();
    if (const auto refused = tooLarge(std::max(width, storedWidth), std::max(height, storedHeight)))
        return failure(refused->error().message);
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    const auto decode = [&](heif_image **image) {
        // The default options apply the picture's rotation and mirroring.
        return heif_decode_image(handle.get(), image, heif_colorspace_RGB,
                                 alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
    };
    // Under a limit that no picture meets, libheif refuses the first thing it would allocate and names
    // its size, without allocating it.
    heif_image *rawImage = nullptr;
    heif_context_set_maximum_image_size_limit(context.get(), 1);
    heif_error decoded = decode(&rawImage);
    if (decoded.code != heif_error_Ok) {
        const std::optional<QSize> first = refusedSize(decoded);
        if (!first)
            return failure();
        if (const auto refused = tooLarge(first->width(), first->height()))
            return failure(refused->error().message);
        // What decoding allocates after it (the tiles of a grid, a picture that the coded data makes
        // larger than its configuration says) is held to the sides of that size, and the whole blocks
        // (up to 64 pixels) a coded picture is made of: a grid's one tile is coded a little larger than
        // the grid.
        constexpr int blockPadding = 64;
        heif_context_set_maximum_image_size_limit(context.get(),
                                                  std::max(first->width(), first->height()) + blockPadding);
        decoded = decode(&rawImage);
    }
    if (decoded.code != heif_error_Ok) {
        if (const std::optional<QSize> refused = refusedSize(decoded))
            if (const auto large = tooLarge(refused->width(), refused->height()))
                return failure(large->error().message);
        return failure();
    }
    std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, heif_image_release);
    int stride = 0;
    const uint8_t *data = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int decodedWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int decodedHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!data || decodedWidth < 1 || decodedHeight < 1)
        return failure();
    if (const auto refused = tooLarge(decodedWidth, decodedHeight))
        return failure(refused->error().message);
    // The pixels stay libheif's: a copy would hold a large picture twice.
    return QImage(
        data, decodedWidth, decodedHeight, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
        [](void *picture) { heif_image_release(static_cast<heif_image *>(picture)); }, image.release());
}

// The picture on white, as the page shows it, stored as a new JPEG.
Result<PictureFile> reencoded(const QImage &image)
{
    if (image.isNull())
        return unreadable();
    QImage flat = image;
    if (image.hasAlphaChannel()) {
        flat = QImage(image.size(), QImage::Format_RGB888);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
    }
    const auto jpeg = JpegCodec::encode(flat, PictureFile::reencodeQuality);
    if (!jpeg)
        return unreadable();
    PictureFile picture;
    picture.uprightSize = image.size();
    picture.jpeg = *jpeg;
    picture.jpegSize = image.size();
    return picture;
}

} // namespace

Result<PictureFile> PictureFile::load(const QString &path)
{
    const InputFile::Contents file = InputFile::read(path, maxBytes);
    switch (file.status) {
    case InputFile::Status::ok:
        return read(file.bytes);
    case InputFile::Status::notRegular:
        return Result<PictureFile>::failure(file.reason);
    case InputFile::Status::tooLarge:
        return Result<PictureFile>::failure(UiText::tr("Picture file too large: %1 MB, at most %2 MB")
                                                .arg(megabytes(file.size))
                                                .arg(megabytes(maxBytes)));
    case InputFile::Status::missing:
    case InputFile::Status::unreadable:
        break;
    }
    return unreadable();
}

Result<PictureFile> PictureFile::read(const QByteArray &bytes)
{
    // Qt's reader and libjpeg take whatever begins with SOI for a JPEG, also where no marker follows
    // at once: its markers are bounded before either reads them.
    std::optional<JpegMarkers::Header> markers;
    if (bytes.startsWith("\xFF\xD8")) {
        markers = JpegMarkers::walk(bytes);
        if (!markers)
            return unreadable();
    }
    if (isJpeg(bytes)) {
        const auto claimed = JpegCodec::readHeader(bytes);
        if (!claimed)
            return unreadable();
        if (const auto refused = tooLarge(claimed->size.width(), claimed->size.height()))
            return *refused;
        const auto header = JpegCodec::inspect(bytes);
        if (!header)
            return unreadable();
        if (header->cmyk)
            return reencoded(readWithQt(bytes));
        PictureFile picture;
        picture.jpeg = bytes;
        picture.jpegSize = header->size;
        picture.orientation = markers->orientation;
        picture.uprightSize = picture.orientation & QImageIOHandler::TransformationRotate90
                                  ? header->size.transposed()
                                  : header->size;
        return picture;
    }
    if (isHeif(bytes)) {
        const Result<QImage> pixels = readHeif(bytes);
        if (!pixels)
            return Result<PictureFile>(pixels.error());
        return reencoded(pixels.value());
    }
    // Qt's readers tell the size and the pixel format they decode to from the header (a 16-bit PNG
    // decodes to 8 bytes a pixel); one that cannot is still bound by Qt's allocation limit.
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader header(&buffer);
    const QSize claimed = header.size();
    // Qt's JPEG reader hands back a format it never set when its header does not read: the format is
    // asked for only once the size came back, and one outside Qt's list counts as four bytes a pixel.
    const int format = claimed.isValid() ? int(header.imageFormat()) : int(QImage::Format_Invalid);
    const qint64 bytesPerPixel =
        format <= QImage::Format_Invalid || format >= QImage::NImageFormats
            ? 4
            : std::max(4, QImage::toPixelFormat(QImage::Format(format)).bitsPerPixel() / 8);
    if (const auto refused = tooLarge(claimed.width(), claimed.height(), bytesPerPixel))
        return *refused;
    PictureFile picture;
    picture.pixels = readWithQt(bytes);
    if (picture.pixels.isNull())
        return unreadable();
    picture.uprightSize = picture.pixels.size();
    return picture;
}

bool PictureFile::draw(PdfCanvas &canvas, const QRectF &page) const
{
    canvas.fillRect(page, Qt::white);
    return jpeg.isEmpty() ? canvas.drawImage(pixels, page)
                          : canvas.drawJpeg(jpeg, jpegSize, orientation, page);
}

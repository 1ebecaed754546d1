#include <libheif/heif.h>

#include "pdf/import/PictureFile.h"

#include "pdf/engine/JpegCodec.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

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

// Upright pixels through Qt's readers (EXIF and TIFF orientation applied).
QImage readWithQt(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

QImageIOHandler::Transformations jpegOrientation(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    return reader.transformation();
}

QImage readHeif(const QByteArray &bytes)
{
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                              heif_context_free);
    if (!context || heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                               size_t(bytes.size()), nullptr)
                            .code != heif_error_Ok)
        return {};
    heif_image_handle *rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return {};
    const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(
        rawHandle, heif_image_handle_release);
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    heif_image *rawImage = nullptr;
    // The default options apply the picture's rotation and mirroring.
    if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr)
            .code != heif_error_Ok)
        return {};
    const std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, heif_image_release);
    int stride = 0;
    const uint8_t *data = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!data || width < 1 || height < 1)
        return {};
    return QImage(data, width, height, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888)
        .copy();
}

// The picture on white, as the page shows it, stored as a new JPEG.
std::optional<PictureFile> reencoded(const QImage &image)
{
    if (image.isNull())
        return std::nullopt;
    QImage flat = image;
    if (image.hasAlphaChannel()) {
        flat = QImage(image.size(), QImage::Format_RGB888);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
    }
    const auto jpeg = JpegCodec::encode(flat, PictureFile::reencodeQuality);
    if (!jpeg)
        return std::nullopt;
    PictureFile picture;
    picture.uprightSize = image.size();
    picture.jpeg = *jpeg;
    picture.jpegSize = image.size();
    return picture;
}

} // namespace

std::optional<PictureFile> PictureFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (isJpeg(bytes)) {
        const auto header = JpegCodec::inspect(bytes);
        if (!header)
            return std::nullopt;
        if (header->cmyk)
            return reencoded(readWithQt(bytes));
        PictureFile picture;
        picture.jpeg = bytes;
        picture.jpegSize = header->size;
        picture.orientation = jpegOrientation(bytes);
        picture.uprightSize = picture.orientation & QImageIOHandler::TransformationRotate90
                                  ? header->size.transposed()
                                  : header->size;
        return picture;
    }
    if (isHeif(bytes))
        return reencoded(readHeif(bytes));
    PictureFile picture;
    picture.pixels = readWithQt(bytes);
    if (picture.pixels.isNull())
        return std::nullopt;
    picture.uprightSize = picture.pixels.size();
    return picture;
}

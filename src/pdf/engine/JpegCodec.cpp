#include "pdf/engine/JpegCodec.h"

#include <turbojpeg.h>

#include <memory>
#include <vector>

namespace {

struct HandleDeleter {
    void operator()(void *handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleDeleter>;

} // namespace

namespace JpegCodec {

std::optional<QByteArray> encode(const QImage &source, int quality)
{
    if (source.isNull())
        return std::nullopt;
    const bool grey = source.format() == QImage::Format_Grayscale8;
    const QImage image = grey ? source : source.convertToFormat(QImage::Format_RGB888);
    const Handle handle(tjInitCompress());
    if (!handle)
        return std::nullopt;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    const int status =
        tjCompress2(handle.get(), image.constBits(), image.width(), int(image.bytesPerLine()), image.height(),
                    grey ? TJPF_GRAY : TJPF_RGB, &buffer, &size, grey ? TJSAMP_GRAY : TJSAMP_420, quality, 0);
    std::optional<QByteArray> jpeg;
    if (status == 0)
        jpeg = QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(size));
    tjFree(buffer);
    return jpeg;
}

std::optional<Header> readHeader(const QByteArray &jpeg)
{
    const Handle handle(tjInitDecompress());
    if (!handle || jpeg.isEmpty())
        return std::nullopt;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), reinterpret_cast<const unsigned char *>(jpeg.constData()),
                            static_cast<unsigned long>(jpeg.size()), &width, &height, &subsampling,
                            &colorspace) != 0 ||
        width < 1 || height < 1)
        return std::nullopt;
    return Header{QSize(width, height), colorspace == TJCS_CMYK || colorspace == TJCS_YCCK};
}

std::optional<Header> inspect(const QByteArray &jpeg)
{
    const std::optional<Header> header = readHeader(jpeg);
    const Handle handle(tjInitDecompress());
    if (!header || !handle)
        return std::nullopt;
    const auto *data = reinterpret_cast<const unsigned char *>(jpeg.constData());
    const auto size = static_cast<unsigned long>(jpeg.size());
    const int width = header->size.width();
    const int height = header->size.height();
    const bool cmyk = header->cmyk;
    // A damaged picture shows itself only when its data is decoded; an eighth of the size suffices.
    const tjscalingfactor eighth{1, 8};
    const int w = TJSCALED(width, eighth);
    const int h = TJSCALED(height, eighth);
    const int pixelFormat = cmyk ? TJPF_CMYK : TJPF_RGB;
    std::vector<unsigned char> pixels(size_t(w) * size_t(h) * size_t(tjPixelSize[pixelFormat]));
    if (tjDecompress2(handle.get(), data, size, pixels.data(), w, 0, h, pixelFormat, 0) != 0 &&
        tjGetErrorCode(handle.get()) != TJERR_WARNING)
        return std::nullopt;
    return header;
}

} // namespace JpegCodec

// Reading a picture for the image import, as a worker does before it draws the page: a photo as a
// phone writes it (12 MP, EXIF turned), and a crafted JPEG of 200,000 tiny APP2 markers in 3.6 MB
// (tests/data/hostile/mkjpegmarkers.py writes the same), which the walk of its markers refuses before
// any reader sees it.

#include "pdf/engine/JpegCodec.h"
#include "pdf/import/PictureFile.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

QByteArray segment(char marker, const QByteArray &payload)
{
    const qsizetype length = payload.size() + 2;
    return QByteArray("\xFF", 1)
        .append(marker)
        .append(char(length >> 8))
        .append(char(length))
        .append(payload);
}

// A gradient with some grain, which codes to about the bytes a photo takes.
QByteArray jpeg(const QSize &size)
{
    QImage image(size, QImage::Format_RGB888);
    quint32 grain = 1;
    for (int y = 0; y < size.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < size.width() * 3; ++x) {
            grain = grain * 1664525u + 1013904223u;
            line[x] = uchar((x / 3 * 200 / size.width() + y * 50 / size.height()) + (grain >> 28));
        }
    }
    return JpegCodec::encode(image, 90).value_or(QByteArray());
}

// Orientation 6 (turned a quarter) in IFD0, big-endian.
QByteArray photo()
{
    const QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);
    return jpeg(QSize(4000, 3000)).insert(2, segment('\xE1', exif));
}

QByteArray crafted()
{
    QByteArray markers;
    for (int i = 0; i < 200'000; ++i)
        markers.append(
            segment('\xE2', QByteArray("ICC_PROFILE\0", 12).append(char(i % 255 + 1)).append('\xFF')));
    return jpeg(QSize(16, 16)).insert(2, markers);
}

void BM_PictureRead(benchmark::State &state, bool hostile)
{
    const QByteArray bytes = hostile ? crafted() : photo();
    for (auto _ : state) {
        const Result<PictureFile> picture = PictureFile::readForTesting(bytes);
        if (bool(picture) == hostile)
            state.SkipWithError(hostile ? "read" : "refused");
    }
    state.counters["MB"] = double(bytes.size()) / (1 << 20);
}
BENCHMARK_CAPTURE(BM_PictureRead, photo, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PictureRead, markers200000, true)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

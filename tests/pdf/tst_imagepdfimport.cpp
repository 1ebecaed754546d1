#include "PdfFixtures.h"
#include "TestHarness.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/extract/PdfBookmarkExtractor.h"
#include "pdf/import/ImagePdfImportService.h"
#include "pdf/import/JpegMarkers.h"
#include "pdf/import/PictureFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <libheif/heif.h>

namespace Import = ImagePdfImportService;

namespace {

// A picture whose left quarter is black and the rest light grey, so that a render shows which way up
// it is.
QImage picture(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(230, 230, 230));
    QPainter(&image).fillRect(QRect(0, 0, size.width() / 4, size.height()), Qt::black);
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    writer.setCompression(1); // TIFF: LZW rather than none
    writer.write(image);
    return bytes;
}

// A JPEG that a phone held upright wrote sideways, with the EXIF orientation that turns it back.
QByteArray withExifOrientation(QByteArray jpeg, quint16 orientation)
{
    QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0\0\0\0\0", 32);
    exif[25] = char(orientation); // the value of the orientation entry, big-endian
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(0)).append(char(exif.size() + 2)).append(exif);
    return jpeg.insert(2, segment);
}

QByteArray segment(char marker, const QByteArray &payload)
{
    const qsizetype length = payload.size() + 2;
    return QByteArray("\xFF", 1)
        .append(marker)
        .append(char(length >> 8))
        .append(char(length))
        .append(payload);
}

// An EXIF segment whose IFD0 starts at ifd and says it holds entries entries, of which one is there:
// tag, of the type given, one value.
QByteArray exifSegment(char byteOrder, quint32 ifd, quint16 entries, quint16 tag, quint16 type, quint16 value)
{
    QByteArray tiff(2, byteOrder);
    const auto put = [&](quint32 number, int width) {
        for (int i = 0; i < width; ++i)
            tiff.append(char(number >> (8 * (byteOrder == 'M' ? width - 1 - i : i))));
    };
    put(42, 2);
    put(ifd, 4);
    put(entries, 2);
    put(tag, 2);
    put(type, 2);
    put(1, 4);
    put(value, 2);
    put(0, 2);
    put(0, 4); // no further IFD
    return segment('\xE1', QByteArray("Exif\0\0", 6) + tiff);
}

// Pieces of an ICC profile of no content, as a crafted file repeats them.
QByteArray tinyMarkers(int count)
{
    QByteArray markers;
    for (int i = 0; i < count; ++i)
        markers.append(
            segment('\xE2', QByteArray("ICC_PROFILE\0", 12).append(char(i % 255 + 1)).append('\xFF')));
    return markers;
}

QByteArray heic(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    heif_image *picture = nullptr;
    heif_image_create(image.width(), image.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                      &picture);
    heif_image_add_plane(picture, heif_channel_interleaved, image.width(), image.height(), 8);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
    for (int y = 0; y < image.height(); ++y)
        memcpy(plane + y * stride, image.constScanLine(y), size_t(image.width()) * 3);
    heif_context_encode_image(context, picture, encoder, nullptr, nullptr);
    QByteArray bytes;
    heif_writer writer{1, [](heif_context *, const void *data, size_t size, void *out) {
                           static_cast<QByteArray *>(out)->append(static_cast<const char *>(data),
                                                                  qsizetype(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(context, &writer, &bytes);
    heif_image_release(picture);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

QImage render(const QString &pdf)
{
    const Result<PdfDocumentPtr> document = PdfDocument::open(pdf);
    const Result<QImage> image = document ? document.value()->render(0, 1.0) : Result<QImage>::failure({});
    return image ? image.value() : QImage();
}

QStringList describe(const BookmarkList &bookmarks)
{
    QStringList lines;
    for (const BookmarkEntry &b : bookmarks)
        lines.append(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6")
                         .arg(b.title, b.pdfFileName, QFileInfo(b.pdfFilePath).fileName())
                         .arg(b.pageNumber)
                         .arg(b.pageSpan)
                         .arg(b.totalPages));
    return lines;
}

} // namespace

class ImagePdfImportTest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("rowsOverParts", "pictures")

    QTemporaryDir m_dir{TestHarness::home() + QStringLiteral("/import-XXXXXX")};

    QString file(const QString &name) const { return m_dir.filePath(name); }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        TestHarness::writeFile(file(name), bytes);
        return file(name);
    }

    QString library() const { return Import::defaultLibraryDirectory().value(); }

    QStringList libraryFiles() const { return QDir(library()).entryList(QDir::Files, QDir::Name); }

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    void names_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::newRow("sanitise") << "sanitize"
                                  << "AC/DC: Live?"
                                  << "AC_DC_ Live_";
        QTest::newRow("sanitise: runs of blanks") << "sanitize"
                                                  << "a   b"
                                                  << "a b";
        QTest::newRow("sanitise: blank") << "sanitize"
                                         << "   "
                                         << "Imported Images";
        QTest::newRow("sanitise: three slashes") << "sanitize"
                                                 << "///"
                                                 << "___";
        QTest::newRow("display: empty") << "display"
                                        << ""
                                        << "Custom Book 1 (Custom)";
        QTest::newRow("display") << "display"
                                 << " Standards "
                                 << "Standards (Custom)";
        QTest::newRow("display: marked already") << "display"
                                                 << "Standards (Custom)"
                                                 << "Standards (Custom)";
        QTest::newRow("title") << "title"
                               << "/p/Autumn Leaves.jpg"
                               << "Autumn Leaves";
        QTest::newRow("title: two extensions") << "title"
                                               << "/p/a.b.png"
                                               << "a.b";
        QTest::newRow("title: blank picture") << "title"
                                              << "/p/ .png"
                                              << "Imported Image";
        QTest::newRow("title: blank PDF") << "title"
                                          << "/p/ .PDF"
                                          << "Imported PDF";
    }

    void names()
    {
        QFETCH(QString, function);
        QFETCH(QString, input);
        QFETCH(QString, output);
        if (function == QLatin1String("sanitize")) {
            QCOMPARE(Import::sanitizePdfFileName(input), output);
            QCOMPARE(Import::sanitizePdfFileName(output), output);
        } else if (function == QLatin1String("display")) {
            QCOMPARE(Import::customBookDisplayName(input), output);
        } else {
            QCOMPARE(Import::title(input), output);
        }
    }

    // Each kind of picture as a page: its longer side 640 points, upright, stored as the table says.
    void pictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSizeF>("page");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("unchanged"); // the stored image is the file itself
        QTest::addColumn<QPoint>("black");   // probes in points from the page's top left
        QTest::addColumn<QPoint>("light");

        const QImage wide = picture(QSize(300, 200));
        const QByteArray jpeg = encoded(wide, "JPG");
        TestHarness::partRow("JPEG kept") << "wide.jpg" << jpeg << QSizeF(640, 426.67) << "/DCTDecode" << true
                                          << QPoint(60, 200) << QPoint(500, 200);
        // Turned a quarter clockwise: the black left side goes to the top.
        TestHarness::partRow("JPEG turned upright, kept")
            << "phone.jpg" << withExifOrientation(jpeg, 6) << QSizeF(426.67, 640) << "/DCTDecode" << true
            << QPoint(200, 60) << QPoint(200, 500);
        TestHarness::partRow("JPEG mirrored")
            << "mirror.jpg" << withExifOrientation(jpeg, 2) << QSizeF(640, 426.67) << "/DCTDecode" << true
            << QPoint(580, 200) << QPoint(100, 200);
        TestHarness::partRow("CMYK JPEG as RGB")
            << "cmyk.jpg" << PdfFixtures::jpeg(QSize(300, 200), true) << QSizeF(640, 426.67) << "/DCTDecode"
            << false << QPoint(300, 10) << QPoint(300, 50);
        TestHarness::partRow("HEIC") << "photo.heic" << heic(wide) << QSizeF(640, 426.67) << "/DCTDecode"
                                     << false << QPoint(60, 200) << QPoint(500, 200);
        TestHarness::partRow("PNG 100 x 50")
            << "small.png" << encoded(picture(QSize(100, 50)), "PNG") << QSizeF(640, 320) << "/FlateDecode"
            << false << QPoint(60, 160) << QPoint(500, 160);
        TestHarness::partRow("TIFF") << "scan.tiff" << encoded(wide, "TIFF") << QSizeF(640, 426.67)
                                     << "/FlateDecode" << false << QPoint(60, 200) << QPoint(500, 200);
        TestHarness::partRow("WebP") << "scan.webp" << encoded(wide, "WEBP") << QSizeF(640, 426.67)
                                     << "/FlateDecode" << false << QPoint(60, 200) << QPoint(500, 200);
        // What phones and scanners make, within the pixel budget: a long panorama, a picture wider than
        // 10,000 pixels made of a grid, a colour scan of an A4 page at 600 dpi.
        const auto stored = [](const char *name) {
            return TestHarness::readFile(TestHarness::testData(QStringLiteral("pictures/") + name));
        };
        TestHarness::partRow("HEIC panorama 16000 x 4000")
            << "pano.heic" << stored("pano-16000x4000.heic") << QSizeF(640, 160) << "/DCTDecode" << false
            << QPoint(60, 80) << QPoint(500, 80);
        TestHarness::partRow("HEIC grid 10001 x 2000")
            << "wide.heic" << stored("wide-10001x2000.heic") << QSizeF(640, 127.99) << "/DCTDecode" << false
            << QPoint(60, 64) << QPoint(500, 64);
        TestHarness::partRow("PNG scan 4960 x 7016")
            << "a4.png" << stored("a4-4960x7016.png") << QSizeF(452.45, 640) << "/FlateDecode" << false
            << QPoint(50, 320) << QPoint(300, 320);
        TestHarness::partRow("TIFF scan 4960 x 7016")
            << "a4.tiff" << stored("a4-4960x7016.tiff") << QSizeF(452.45, 640) << "/FlateDecode" << false
            << QPoint(50, 320) << QPoint(300, 320);
    }

    void pictures()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSizeF, page);
        QFETCH(QString, filter);
        QFETCH(bool, unchanged);
        QFETCH(QPoint, black);
        QFETCH(QPoint, light);
        QVERIFY(!bytes.isEmpty());
        const Result<ImagePdfImportResult> result =
            Import::importFiles({write(name, bytes)}, QString(), {QStringLiteral("Song")}, {}, {}, false);
        QVERIFY2(result, qPrintable(result.error().message));
        const QString pdf = result->bookmarks.first().pdfFilePath;
        QCOMPARE(QFileInfo(pdf).fileName(), QStringLiteral("Song.pdf"));

        const QSizeF size = PdfDocument::open(pdf).value()->pageSize(0);
        QVERIFY2(std::abs(size.width() - page.width()) < 0.01 &&
                     std::abs(size.height() - page.height()) < 0.01,
                 qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
        const QList<PdfFixtures::StoredImage> images = PdfFixtures::images(pdf, 0);
        QCOMPARE(images.size(), 1);
        QCOMPARE(images.first().filter, filter);
        QCOMPARE(images.first().data == bytes, unchanged);
        const QImage image = render(pdf);
        QVERIFY2(qGray(image.pixel(black)) < 60, qPrintable(QString::number(qGray(image.pixel(black)))));
        QVERIFY2(qGray(image.pixel(light)) > 190, qPrintable(QString::number(qGray(image.pixel(light)))));
    }

    void singleFiles()
    {
        const QString a = write(QStringLiteral("a.png"), encoded(picture(QSize(40, 40)), "PNG"));
        const QString b = write(QStringLiteral("b.jpg"), encoded(picture(QSize(40, 40)), "JPG"));
        const QString book = file(QStringLiteral("Book.pdf"));
        PdfFixtures::write(book, {{}, {}, {}});
        const Result<ImagePdfImportResult> result =
            Import::importFiles({a, file(QStringLiteral("notes.txt")), book, b}, QString(),
                                {QStringLiteral(" First "), QString()}, {}, {}, false);
        QVERIFY2(result, qPrintable(result.error().message));
        const QString singles = Import::customSinglesBookName;
        QCOMPARE(describe(result->bookmarks), QStringList({"First | " + singles + " | First.pdf | 1 | 1 | 1",
                                                           "Book | " + singles + " | Book.pdf | 1 | 3 | 3",
                                                           "b | " + singles + " | b.pdf | 1 | 1 | 1"}));
        QCOMPARE(result->bookmarks.first().pdfFilePath, library() + QStringLiteral("/First.pdf"));
        QCOMPARE(libraryFiles(), QStringList({"Book.pdf", "First.pdf", "b.pdf"}));
    }

    void book()
    {
        const QString a = write(QStringLiteral("A.png"), encoded(picture(QSize(40, 40)), "PNG"));
        const QString c = write(QStringLiteral("C.jpg"), encoded(picture(QSize(40, 40)), "JPG"));
        const QString b = file(QStringLiteral("B.pdf"));
        PdfFixtures::write(b, {{}, {}});
        const QString folder = file(QStringLiteral("out/nested"));
        Result<ImagePdfImportResult> result = Import::importFiles({a, b, c}, QString(), {}, {}, folder, true);
        QVERIFY2(result, qPrintable(result.error().message));
        QCOMPARE(describe(result->bookmarks),
                 QStringList({"A | Custom Book (Custom).pdf | Custom Book (Custom).pdf | 1 | 1 | 2",
                              "B | B.pdf | B.pdf | 1 | 2 | 2",
                              "C | Custom Book (Custom).pdf | Custom Book (Custom).pdf | 2 | 1 | 2"}));

        TestHarness::writeFile(folder + QStringLiteral("/Standards.pdf"), "x");
        TestHarness::writeFile(folder + QStringLiteral("/Standards 2.pdf"), "x");
        result = Import::importFiles({a}, QStringLiteral(" Standards "), {}, {}, folder, true);
        QVERIFY(result);
        QCOMPARE(QFileInfo(result->bookmarks.first().pdfFilePath).fileName(),
                 QStringLiteral("Standards 3.pdf"));
        result = Import::importFiles({a}, QStringLiteral("Standards"), {}, QStringLiteral("Own: name"),
                                     folder, true);
        QVERIFY(result);
        QCOMPARE(QFileInfo(result->bookmarks.first().pdfFilePath).fileName(),
                 QStringLiteral("Own_ name.pdf"));
    }

    void bookmarkedPdf()
    {
        const QString source = file(QStringLiteral("songs.pdf"));
        PdfFixtures::write(source, {{}, {}, {}, {}, {}},
                           {{QStringLiteral("Intro"), 0, 1}, {QStringLiteral("Tune"), 0, 3}});
        BookmarkList bookmarks = PdfBookmarkExtractor::extractBookmarks(source);
        QCOMPARE(bookmarks.size(), 2);
        bookmarks[0].pageNumber = 0;
        bookmarks[1].pageSpan = 0;
        bookmarks[1].composer = QStringLiteral("Trad.");
        TestHarness::writeFile(library() + QStringLiteral("/Standards.pdf"), "x");

        Result<ImagePdfImportResult> result =
            Import::importBookmarkedPDF(source, bookmarks, QStringLiteral("Standards"), {}, false);
        QVERIFY(result);
        QCOMPARE(result->bookmarks.first().pdfFilePath, library() + QStringLiteral("/Standards 2.pdf"));
        QCOMPARE(describe(result->bookmarks),
                 QStringList({"Intro | Standards.pdf | Standards 2.pdf | 1 | 2 | 5",
                              "Tune | Standards.pdf | Standards 2.pdf | 3 | 3 | 5"}));
        QCOMPARE(result->bookmarks[1].composer, QStringLiteral("Trad."));

        result = Import::importBookmarkedPDF(source, bookmarks, QStringLiteral("Kept.pdf"), {}, true);
        QVERIFY(result);
        QCOMPARE(result->bookmarks.first().pdfFilePath, source);
        QCOMPARE(result->bookmarks[0].pdfFileName, QStringLiteral("Kept.pdf"));
    }

    // A cancelled import stops before its next picture or PDF and leaves none of the files it wrote; one
    // cancelled after its last file is done.
    void cancelledImports_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("asBook");
        QTest::addColumn<int>("cancelAfter"); // reports heard
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<QStringList>("left"); // in the import library; none when cancelled
        QTest::newRow("one by one, after the first picture")
            << QStringList{"a.png", "b.jpg", "c.png"} << false << 1 << QStringList{"1/3"} << QStringList();
        QTest::newRow("one by one, after a PDF")
            << QStringList{"Book.pdf", "a.png"} << false << 1 << QStringList{"1/2"} << QStringList();
        QTest::newRow("a book, after its first page")
            << QStringList{"a.png", "b.jpg", "c.png"} << true << 1 << QStringList{"1/3"} << QStringList();
        QTest::newRow("a book and a PDF, after the pages")
            << QStringList{"a.png", "Book.pdf", "b.jpg"} << true << 2 << QStringList{"1/3", "2/3"}
            << QStringList();
        QTest::newRow("after the last") << QStringList{"a.png", "b.jpg"} << false << 2
                                        << QStringList{"1/2", "2/2"} << QStringList{"a.pdf", "b.pdf"};
    }

    void cancelledImports()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, asBook);
        QFETCH(int, cancelAfter);
        QFETCH(QStringList, reports);
        QFETCH(QStringList, left);
        QStringList paths;
        for (const QString &name : files) {
            if (name.endsWith(QLatin1String(".pdf"))) {
                PdfFixtures::write(file(name), {{}, {}});
                paths.append(file(name));
            } else {
                paths.append(write(name, encoded(picture(QSize(40, 40)),
                                                 name.endsWith(QLatin1String(".png")) ? "PNG" : "JPG")));
            }
        }
        QStringList heard;
        BuildProgress *progress = nullptr;
        BuildProgress cancelling([&](qint64 done, qint64 total) {
            heard.append(QStringLiteral("%1/%2").arg(done).arg(total));
            if (heard.size() == cancelAfter)
                progress->cancel();
        });
        progress = &cancelling;
        const Result<ImagePdfImportResult> result =
            Import::importFiles(paths, QString(), {}, {}, {}, asBook, progress);
        QCOMPARE(heard, reports);
        QCOMPARE(bool(result), !left.isEmpty());
        if (!result)
            QVERIFY(Import::isCancellation(result.error()));
        QCOMPARE(libraryFiles(), left);
    }

    // Pictures of more pixels or more bytes than the budget are refused before their pixels are
    // decoded, also where the coded picture is larger than the size the file states.
    void hostilePicturesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, const QString &file, const char *message) {
            QTest::newRow(name) << TestHarness::readFile(TestHarness::testData(file))
                                << QString::fromUtf8(message);
        };
        row("JPEG 16000", "hostile/bomb-16000x16000-truncated.jpg", "Picture too large: 16000 x 16000");
        row("JPEG 32000", "hostile/bomb-32000x32000-truncated.jpg", "Picture too large: 32000 x 32000");
        row("JPEG 60000", "hostile/bomb-60000x60000-truncated.jpg", "Picture too large: 60000 x 60000");
        row("PNG", "hostile/bomb-60000x60000.png", "Picture too large: 60000 x 60000");
        row("TIFF", "hostile/bomb-60000x60000.tiff", "Picture too large: 60000 x 60000");
        // Within the pixels, but twice the bytes a pixel.
        row("PNG 16 bits", "hostile/png16-10000x10000-truncated.png", "Picture too large: 10000 x 10000");
        row("HEIC", "hostile/heic-bomb-525b.heic", "Picture too large: 22341 x 16976");
        // 20,000 tiny markers in the header (mkjpegmarkers.py): refused as a picture that does not read.
        row("JPEG of 20,000 markers", "hostile/jpeg-20000-app2-markers.jpg", "");
        // Each claims 17 x 11 and codes a picture of the size given.
        row("HEIC 14441 x 27759", "hostile/heic-oom-5c8b2b68b78086475567660f53103e9c2f1fb713",
            "Picture too large: 14441 x 27759");
        row("HEIC 28009 x 26161", "hostile/heic-oom-79638f9f498264db93553c253fc4e92c6dc035af",
            "Picture too large: 28009 x 26161");
        row("HEIC 26725 x 27491", "hostile/heic-oom-8bf531cec39f32bc5c31c9dab0615fc698e24201",
            "Picture too large: 26725 x 27491");
        row("HEIC 26725 x 31354", "hostile/heic-oom-91324a1d5d959b6c4618481336299260cba0a602",
            "Picture too large: 26725 x 31354");
        row("HEIC 14441 x 27759, another", "hostile/heic-oom-f7e8ae9c21bdfb4d40b21a104520c5b86b228415",
            "Picture too large: 14441 x 27759");
        // The panorama with its stored size (ispe) made 12000 x 9000: over the budget, each side within
        // reach of a camera.
        QByteArray claimed = TestHarness::readFile(TestHarness::testData("pictures/pano-16000x4000.heic"));
        const qsizetype ispe = claimed.indexOf("ispe");
        QVERIFY(ispe > 0);
        claimed.replace(ispe + 8, 8, QByteArray::fromHex("00002ee000002328"));
        QTest::newRow("HEIC stated 12000 x 9000") << claimed << "Picture too large: 12000 x 9000";
    }

    // The markers of a JPEG are walked once before any reader is made: the EXIF orientation is read
    // in either byte order, wherever its offsets point, and a file of more markers or header bytes than
    // cameras write is refused as one that does not read.
    void jpegMarkers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<int>("orientation");
        const QByteArray jpeg = encoded(picture(QSize(40, 30)), "JPG");
        const auto inHeader = [&](const QByteArray &markers) { return QByteArray(jpeg).insert(2, markers); };
        constexpr quint16 orientation = 0x0112;
        constexpr quint16 shortType = 3;
        QTest::newRow("EXIF big-endian") << inHeader(exifSegment('M', 8, 1, orientation, shortType, 6))
                                         << true << int(QImageIOHandler::TransformationRotate90);
        QTest::newRow("EXIF little-endian") << inHeader(exifSegment('I', 8, 1, orientation, shortType, 8))
                                            << true << int(QImageIOHandler::TransformationRotate270);
        QTest::newRow("EXIF behind XMP and fill bytes")
            << inHeader(segment('\xE1', QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34)) +
                        QByteArray("\xFF\xFF", 2) + exifSegment('M', 8, 1, orientation, shortType, 3))
            << true << int(QImageIOHandler::TransformationRotate180);
        QTest::newRow("orientation out of range")
            << inHeader(exifSegment('M', 8, 1, orientation, shortType, 9)) << true << 0;
        QTest::newRow("orientation of another type")
            << inHeader(exifSegment('M', 8, 1, orientation, 4, 6)) << true << 0;
        QTest::newRow("IFD0 beyond the segment")
            << inHeader(exifSegment('I', 4000, 1, orientation, shortType, 6)) << true << 0;
        QTest::newRow("more entries than the segment holds")
            << inHeader(exifSegment('M', 8, 65535, 0x0100, shortType, 6)) << true << 0;
        QTest::newRow("a segment length below 2") << inHeader(QByteArray("\xFF\xE2\0\0", 4)) << true << 0;
        QTest::newRow("markers up to near the bound")
            << inHeader(tinyMarkers(JpegMarkers::maxMarkers - 16)) << true << 0;
        QTest::newRow("more markers than the bound")
            << inHeader(tinyMarkers(JpegMarkers::maxMarkers)) << false << 0;
        QTest::newRow("more markers than the bound, after the scan")
            << QByteArray(jpeg).insert(jpeg.size() - 2, tinyMarkers(JpegMarkers::maxMarkers)) << false << 0;
        QTest::newRow("more markers than the bound, behind a stray byte after SOI")
            << QByteArray("\xFF\xD8\0", 3) + tinyMarkers(JpegMarkers::maxMarkers) + jpeg.mid(2) << false << 0;
        QTest::newRow("more header bytes than the bound, as fill bytes")
            << inHeader(QByteArray(JpegMarkers::maxHeaderBytes, '\xFF')) << false << 0;
    }

    void jpegMarkers()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, readable);
        QFETCH(int, orientation);
        const Result<PictureFile> picture = PictureFile::readForTesting(bytes);
        QCOMPARE(bool(picture), readable);
        if (!readable) {
            QCOMPARE(picture.error().message, QString());
            return;
        }
        QCOMPARE(int(picture->orientationForTesting()), orientation);
        QCOMPARE(picture->jpeg, bytes);
    }

    void hostilePicturesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QVERIFY(!bytes.isEmpty());
        const Result<PictureFile> picture = PictureFile::load(write(QStringLiteral("picture"), bytes));
        QVERIFY(!picture);
        QCOMPARE(picture.error().message, message);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // the start of it

        QTest::newRow("nothing importable") << "files: text"
                                            << "Lyrafold" << 1 << "No readable images or PDFs were selected.";
        QTest::newRow("no pictures") << "convert: none"
                                     << "Lyrafold" << 3 << "At least one image is required.";
        QTest::newRow("picture that is not one") << "files: bad picture"
                                                 << "Lyrafold" << 4 << "Could not read image: bad.png";
        QTest::newRow("damaged JPEG") << "files: damaged JPEG"
                                      << "Lyrafold" << 4 << "Could not read image: cut.jpg";
        QTest::newRow("disk full") << "files: disk full"
                                   << "Lyrafold" << 6 << "Could not write imported PDF.";
        QTest::newRow("folder cannot be made") << "files: folder under a file"
                                               << "FileSystem" << 20 << "Could not create the folder";
        QTest::newRow("PDF cannot be copied") << "files: PDF, disk full"
                                              << "FileSystem" << 0 << "";
        QTest::newRow("no bookmarks") << "bookmarked: none"
                                      << "Lyrafold" << 7 << "This PDF has no importable bookmarks.";
    }

    void failures()
    {
        QFETCH(QString, call);
        QFETCH(QString, domain);
        QFETCH(int, code);
        QFETCH(QString, message);
        const QString good = write(QStringLiteral("good.png"), encoded(picture(QSize(300, 300)), "PNG"));
        const QString bad = write(QStringLiteral("bad.png"), "not a picture");
        const QString cut =
            write(QStringLiteral("cut.jpg"), encoded(picture(QSize(300, 300)), "JPG").left(200));
        const QString pdf = file(QStringLiteral("book.pdf"));
        PdfFixtures::write(pdf, {{}, {}});
        const QString blocker = write(QStringLiteral("blocker"), "a file");
        const QString folder = file(QStringLiteral("target"));
        QDir(folder).removeRecursively();

        Result<ImagePdfImportResult> result = ImagePdfImportResult{};
        if (call == QLatin1String("files: text")) {
            result =
                Import::importFiles({file(QStringLiteral("a.txt")), m_dir.path()}, {}, {}, {}, folder, false);
        } else if (call == QLatin1String("convert: none")) {
            result = Import::convertImagesToPdf({}, {}, {}, {}, folder);
        } else if (call == QLatin1String("files: bad picture")) {
            result = Import::importFiles({good, bad}, {}, {}, {}, folder, true);
        } else if (call == QLatin1String("files: damaged JPEG")) {
            result = Import::importFiles({cut}, {}, {}, {}, folder, true);
        } else if (call == QLatin1String("files: disk full")) {
            TestHarness::FileSizeLimit full(200);
            result = Import::importFiles({good}, {}, {}, {}, folder, true);
        } else if (call == QLatin1String("files: folder under a file")) {
            result = Import::importFiles({good}, {}, {}, {}, blocker + QStringLiteral("/sub"), true);
        } else if (call == QLatin1String("files: PDF, disk full")) {
            TestHarness::FileSizeLimit full(100);
            result = Import::importFiles({pdf}, {}, {}, {}, folder, false);
        } else if (call == QLatin1String("bookmarked: none")) {
            result = Import::importBookmarkedPDF(pdf, {}, QStringLiteral("Book"), folder, false);
        }
        QVERIFY(!result);
        QCOMPARE(result.error().domain, domain);
        if (domain == QLatin1String("Lyrafold") || call.contains(QLatin1String("folder")))
            QCOMPARE(result.error().code, code);
        QVERIFY2(result.error().message.startsWith(message), qPrintable(result.error().message));
        // Nothing half-written is left behind.
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    }
};

LYRAFOLD_TEST_MAIN_WITH(QGuiApplication, ImagePdfImportTest)
#include "tst_imagepdfimport.moc"

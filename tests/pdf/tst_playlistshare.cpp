#include "PdfFixtures.h"
#include "TestHarness.h"
#include "core/annotations/PdfEditCacheFile.h"
#include "core/common/AppPaths.h"
#include "core/share/ExportNaming.h"
#include "core/share/PlaylistTextExport.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/share/PlaylistShareService.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

using TestHarness::testData;
using Strokes = QList<StrokeRecord>;
Q_DECLARE_METATYPE(Strokes)

namespace {

const QString beethoven = testData("scans/beethoven-sonata-19-op49-1.pdf");

// Each page has the top-left quarter of its width and height black.
const QList<PdfFixtures::Page> layoutPages = {
    {QSizeF(500, 700), 0, QRectF(), false},  {QSizeF(612, 792), 0, QRectF(), false},
    {QSizeF(595, 842), 0, QRectF(), false},  {QSizeF(842, 595), 0, QRectF(), false},
    {QSizeF(600, 700), 0, QRectF(), false},  {QSizeF(612, 792), 0, QRectF(0, 0, 0, 0), false},
    {QSizeF(500, 700), 90, QRectF(), false}, {QSizeF(612, 792), 0, QRectF(0, 392, 306, 400), false},
    {QSizeF(612, 792), 0, QRectF(), true},
};

PlaylistItem item(const QString &path, qint64 page, qint64 span, const QString &title)
{
    PlaylistItem i;
    i.pdfFilePath = path;
    i.pdfFileName = QFileInfo(path).fileName();
    i.pageNumber = page;
    i.pageSpan = span;
    i.title = title;
    return i;
}

QRectF rect(QPDFObjectHandle array)
{
    const auto r = array.getArrayAsRectangle();
    return QRectF(QPointF(r.llx, r.lly), QPointF(r.urx, r.ury));
}

// What a reader finds in a written PDF.
struct ReadBack {
    QList<QRectF> mediaBoxes;
    QList<QStringList> links;      // per page: "x y w h url"
    QStringList outline;           // "title -> page, top"
    QList<QPDFObjGen> pageContent; // per page: the copied source page it shows
};

ReadBack readBack(const QString &path)
{
    ReadBack result;
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        QPDFObjectHandle dict = page.getObjectHandle();
        result.mediaBoxes.append(rect(dict.getKey("/MediaBox")));
        QStringList links;
        QPDFObjectHandle annots = dict.getKey("/Annots");
        for (QPDFObjectHandle annot :
             annots.isArray() ? annots.getArrayAsVector() : std::vector<QPDFObjectHandle>()) {
            const QRectF r = rect(annot.getKey("/Rect"));
            links.append(
                QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(r.x())
                    .arg(r.y())
                    .arg(r.width())
                    .arg(r.height())
                    .arg(QString::fromStdString(annot.getKey("/A").getKey("/URI").getStringValue())));
        }
        result.links.append(links);
        QPDFObjectHandle content = dict.getKey("/Resources").getKey("/XObject").getKey("/Pg");
        result.pageContent.append(content.getObjGen());
    }
    QPDFOutlineDocumentHelper outlines(pdf);
    for (QPDFOutlineObjectHelper &entry : outlines.getTopLevelOutlines()) {
        QPDFObjectHandle dest = entry.getDest();
        QPDFObjectHandle target = dest.getArrayItem(0);
        result.outline.append(QStringLiteral("%1 -> %2, %3")
                                  .arg(QString::fromStdString(entry.getTitle()))
                                  .arg(pdf.findPage(target))
                                  .arg(dest.getArrayItem(3).getNumericValue()));
    }
    return result;
}

QImage renderPage(const QString &path, int page)
{
    const Result<PdfDocumentPtr> document = PdfDocument::open(path);
    if (!document)
        return {};
    const Result<QImage> image = document.value()->render(page, 1.0);
    return image ? image.value() : QImage();
}

bool near(QRgb pixel, QColor expected, int tolerance = 40)
{
    return std::abs(qRed(pixel) - expected.red()) <= tolerance &&
           std::abs(qGreen(pixel) - expected.green()) <= tolerance &&
           std::abs(qBlue(pixel) - expected.blue()) <= tolerance;
}

QString describe(QRgb pixel)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(pixel)).arg(qGreen(pixel)).arg(qBlue(pixel));
}

} // namespace

class PlaylistShareTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{TestHarness::home() + QStringLiteral("/share-XXXXXX")};
    QString m_layout;

    QString file(const QString &name) const { return m_dir.filePath(name); }

    QString exportFolder() const { return *AppPaths::privateTempDir(); }

private Q_SLOTS:
    void initTestCase()
    {
        m_layout = file(QStringLiteral("layout.pdf"));
        PdfFixtures::write(m_layout, layoutPages);
    }

    void init() { QDir(exportFolder()).removeRecursively(); }

    // Each layout page alone: the output size by the size rule and where the content lands on it.
    // Probes are in points from the output page's top left.
    void pageSizes_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QPoint>("black");
        QTest::addColumn<QPoint>("white");

        QTest::newRow("500 x 700 kept") << 1 << QSizeF(500, 700) << QPoint(60, 80) << QPoint(400, 600);
        QTest::newRow("Letter") << 2 << QSizeF(612, 792) << QPoint(70, 90) << QPoint(500, 700);
        QTest::newRow("A4 on Letter, centred") << 3 << QSizeF(612, 792) << QPoint(90, 100) << QPoint(10, 100);
        QTest::newRow("landscape A4 fitted to the width")
            << 4 << QSizeF(612, 792) << QPoint(76, 234) << QPoint(76, 100);
        QTest::newRow("600 x 700 kept") << 5 << QSizeF(600, 700) << QPoint(70, 80) << QPoint(500, 600);
        QTest::newRow("empty crop box: media box")
            << 6 << QSizeF(612, 792) << QPoint(70, 90) << QPoint(500, 700);
        QTest::newRow("small page turned a quarter keeps its shape")
            << 7 << QSizeF(700, 500) << QPoint(612, 62) << QPoint(100, 62);
        QTest::newRow("crop box") << 8 << QSizeF(306, 400) << QPoint(70, 90) << QPoint(250, 300);
        QTest::newRow("no box: blank Letter page")
            << 9 << QSizeF(612, 792) << QPoint(-1, -1) << QPoint(70, 90);
    }

    void pageSizes()
    {
        QFETCH(int, page);
        QFETCH(QSizeF, size);
        QFETCH(QPoint, black);
        QFETCH(QPoint, white);
        const auto path = PlaylistShareService::buildPlaylistPDF(
            {item(m_layout, page, 1, QStringLiteral("Song"))}, QStringLiteral("Sizes"), false);
        QVERIFY(path);
        const ReadBack pdf = readBack(path.path);
        QCOMPARE(pdf.mediaBoxes, QList<QRectF>{QRectF(QPointF(), size)});
        const QImage image = renderPage(path.path, 0);
        QCOMPARE(image.size(), size.toSize());
        if (black.x() >= 0)
            QVERIFY2(qGray(image.pixel(black)) < 40, qPrintable(describe(image.pixel(black))));
        QVERIFY2(qGray(image.pixel(white)) > 215, qPrintable(describe(image.pixel(white))));
    }

    // Ranges, skipped titles, the outline, the header's links and a page shown twice.
    void playlistStructure()
    {
        const QString missing = file(QStringLiteral("missing.pdf"));
        const QList<PlaylistItem> items = {
            item(m_layout, 2, 2, QStringLiteral(" Blue Train ")),
            item(missing, 1, 1, QStringLiteral("Missing")),
            item(m_layout, 0, 0, QStringLiteral(" \n ")),
            item(m_layout, 10, 1, QStringLiteral("Past the end")),
            item(m_layout, 2, 1, QStringLiteral("Again")),
            item(m_layout, 9, 5, QStringLiteral("Cut at the end")),
        };
        const auto path =
            PlaylistShareService::buildPlaylistPDF(items, QStringLiteral("Live: Set A/B"), true);
        QVERIFY(path);
        QCOMPARE(QFileInfo(path.path).fileName(),
                 ExportNaming::datedStem(QStringLiteral("Live- Set A-B")) + ".pdf");
        QCOMPARE(QFileInfo(path.path).path(), exportFolder());

        const ReadBack pdf = readBack(path.path);
        QCOMPARE(pdf.mediaBoxes.size(), 5);
        QCOMPARE(
            pdf.outline,
            QStringList({QStringLiteral("Blue Train -> 0, 792"), QStringLiteral("layout.pdf -> 2, 700"),
                         QStringLiteral("Again -> 3, 792"), QStringLiteral("Cut at the end -> 4, 792")}));
        const QString spotify =
            QString::fromLatin1(PlaylistTextExport::effectiveSpotifyURL(items[0]).toEncoded());
        const QString youtube =
            QString::fromLatin1(PlaylistTextExport::effectiveYouTubeURL(items[0]).toEncoded());
        QCOMPARE(pdf.links[0], QStringList({QStringLiteral("34 764 22 22 ") + spotify,
                                            QStringLiteral("64 764 22 22 ") + youtube}));
        QCOMPARE(pdf.links[1], QStringList());
        QCOMPARE(pdf.links[2].size(), 2);
        QVERIFY(pdf.links[2][0].startsWith(QStringLiteral("34 672 22 22 https://")));
        QCOMPARE(pdf.links[3].size(), 2);
        // The same source page is stored once.
        QCOMPARE(pdf.pageContent[3], pdf.pageContent[0]);
        QVERIFY(pdf.pageContent[1] != pdf.pageContent[0]);
    }

    // The header lies over the page, so that it shows on a page whose top is dark.
    void headerOverContent()
    {
        const auto path = PlaylistShareService::buildPlaylistPDF(
            {item(m_layout, 2, 1, QStringLiteral("Song"))}, QStringLiteral("Header"), true);
        QVERIFY(path);
        const QImage image = renderPage(path.path, 0);
        const QRgb insideBox = image.pixel(31, 20);
        QVERIFY2(qGray(insideBox) > 200, qPrintable(describe(insideBox)));
        QVERIFY(qGray(image.pixel(20, 20)) < 40);
        // The icons are the interface's pictures, stored with the page.
        QCOMPARE(PdfFixtures::images(path.path, 0).size(), 2);
    }

    // Scanned pages keep their images byte for byte, in their own compression.
    void imagesKept_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("filter");

        const QString jpegBook = file(QStringLiteral("jpeg-scan.pdf"));
        const QString cmykBook = file(QStringLiteral("cmyk-scan.pdf"));
        PdfFixtures::ScanPage page;
        page.data = PdfFixtures::jpeg(QSize(850, 1100));
        page.width = 850;
        page.height = 1100;
        PdfFixtures::writeScan(jpegBook, {page});
        page.data = PdfFixtures::jpeg(QSize(850, 1100), true);
        page.colorSpace = "/DeviceCMYK";
        page.decode = "[1 0 1 0 1 0 1 0]";
        PdfFixtures::writeScan(cmykBook, {page});
        QTest::newRow("CCITT") << beethoven << 2 << "/CCITTFaxDecode";
        QTest::newRow("JPEG") << jpegBook << 1 << "/DCTDecode";
        QTest::newRow("CMYK JPEG") << cmykBook << 1 << "/DCTDecode";
    }

    void imagesKept()
    {
        QFETCH(QString, book);
        QFETCH(int, page);
        QFETCH(QString, filter);
        const auto path = PlaylistShareService::buildPlaylistPDF(
            {item(book, page, 1, QStringLiteral("Scan"))}, QStringLiteral("Scans"), true);
        QVERIFY(path);
        const auto written = PdfFixtures::images(path.path, 0);
        const auto source = PdfFixtures::images(book, page - 1);
        QVERIFY(!source.isEmpty());
        QCOMPARE(source.first().filter, filter);
        QVERIFY(written.contains(source.first()));
    }

    void jpegPages()
    {
        const QList<PlaylistItem> items = {item(m_layout, 1, 2, QStringLiteral("A")),
                                           item(m_layout, 99, 1, QStringLiteral("Past the end")),
                                           item(m_layout, 7, 3, QStringLiteral("B"))};
        QFile stale(exportFolder() + QLatin1Char('/') + ExportNaming::datedStem(QStringLiteral("Set")) +
                    QStringLiteral("_images/page_0009.jpg"));
        QVERIFY(QDir().mkpath(QFileInfo(stale).path()) && stale.open(QIODevice::WriteOnly));
        stale.close();

        const auto folder = PlaylistShareService::buildPlaylistJPEGs(items, QStringLiteral("Set"));
        QVERIFY(folder);
        QCOMPARE(QFileInfo(folder.path).fileName(),
                 ExportNaming::datedStem(QStringLiteral("Set")) + "_images");
        const QStringList files = QDir(folder.path).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files, QStringList({"page_0001.jpg", "page_0002.jpg", "page_0003.jpg", "page_0004.jpg",
                                     "page_0005.jpg"}));
        // Pages fitted into 612 x 792 points (smaller ones enlarged) at two pixels a point; the turned
        // page shown turned.
        const QList<QSize> sizes = {QSize(1132, 1584), QSize(1224, 1584), QSize(1224, 875), QSize(1212, 1584),
                                    QSize(1224, 1584)};
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QImage image(folder.path + QLatin1Char('/') + files[i]);
            QCOMPARE(image.size(), sizes[i]);
        }

        const auto single = PlaylistShareService::buildSingleBookmarkJPEGs(
            BookmarkEntry(item(m_layout, 2, 1, QStringLiteral("Blue Train"))), QStringLiteral("Blue Train"),
            std::nullopt);
        QVERIFY(single);
        QCOMPARE(QFileInfo(single.path).fileName(), QStringLiteral("Blue Train_images"));
        QCOMPARE(QDir(single.path).entryList(QDir::Files), QStringList{"page_0001.jpg"});
        QCOMPARE(TestHarness::readFile(single.path + "/page_0001.jpg"),
                 TestHarness::readFile(folder.path + "/page_0002.jpg"));

        QCOMPARE(PlaylistShareService::buildSingleBookmarkJPEGs(
                     BookmarkEntry(item(m_layout, 99, 1, QStringLiteral("Past"))), QStringLiteral("Past"),
                     std::nullopt)
                     .failure,
                 ExportResult::Failure::nothingToExport);
        QCOMPARE(PlaylistShareService::buildPlaylistJPEGs({}, QStringLiteral("Empty")).failure,
                 ExportResult::Failure::nothingToExport);

        // No image could be written: no export, though pages were numbered.
        TestHarness::FileSizeLimit fullDisk(1000);
        QCOMPARE(PlaylistShareService::buildPlaylistJPEGs(items, QStringLiteral("Full")).failure,
                 ExportResult::Failure::writeFailed);
    }

    // Where a stroke lands on the exported page, probed in points from its top left.
    void annotations_data()
    {
        QTest::addColumn<int>("page"); // 1-based page of the layout book
        QTest::addColumn<Strokes>("strokes");
        QTest::addColumn<QPoint>("probe");
        QTest::addColumn<QColor>("expected");

        const auto stroke = [](QPointF from, QPointF to, ColorRecord color, double opacity,
                               bool highlighter) {
            StrokeRecord s;
            s.points = {{from.x(), from.y()}, {to.x(), to.y()}};
            s.color = color;
            s.thickness = 12;
            s.opacity = opacity;
            s.isHighlighter = highlighter;
            return s;
        };
        const ColorRecord red{1, 0, 0, 1};
        const ColorRecord yellow{1, 1, 0, 1};
        QTest::newRow("pen") << 2 << Strokes{stroke({300, 400}, {400, 400}, red, 1, false)}
                             << QPoint(350, 392) << QColor(255, 0, 0);
        QTest::newRow("pen covers the content") << 2 << Strokes{stroke({20, 700}, {100, 700}, red, 1, false)}
                                                << QPoint(60, 92) << QColor(255, 0, 0);
        QTest::newRow("opacity replaces the alpha")
            << 2 << Strokes{stroke({300, 400}, {400, 400}, red, 0.28, false)} << QPoint(350, 392)
            << QColor(255, 184, 184);
        QTest::newRow("highlighter on white") << 2 << Strokes{stroke({300, 400}, {400, 400}, yellow, 1, true)}
                                              << QPoint(350, 392) << QColor(255, 255, 0);
        QTest::newRow("highlighter keeps the dark content")
            << 2 << Strokes{stroke({20, 700}, {100, 700}, yellow, 1, true)} << QPoint(60, 92)
            << QColor(0, 0, 0);
        QTest::newRow("one point is no stroke") << 2 << Strokes{StrokeRecord{{{350, 400}}, red, 40, 1, false}}
                                                << QPoint(350, 392) << QColor(255, 255, 255);
        QTest::newRow("cropped page") << 8 << Strokes{stroke({80, 700}, {120, 700}, red, 1, false)}
                                      << QPoint(100, 92) << QColor(255, 0, 0);
        QTest::newRow("turned page") << 7 << Strokes{stroke({80, 100}, {120, 100}, red, 1, false)}
                                     << QPoint(100, 100) << QColor(255, 0, 0);
        QTest::newRow("landscape page made smaller")
            << 4 << Strokes{stroke({400, 300}, {440, 300}, red, 1, false)} << QPoint(306, 394)
            << QColor(255, 0, 0);
    }

    void annotations()
    {
        QFETCH(int, page);
        QFETCH(Strokes, strokes);
        QFETCH(QPoint, probe);
        QFETCH(QColor, expected);
        PdfEditCacheFile cache;
        cache.strokesByPage.insert(page - 1, strokes);
        // The page before the title's range: never drawn.
        cache.strokesByPage.insert(page - 2,
                                   {StrokeRecord{{{0, 0}, {600, 800}}, {0, 0, 1, 1}, 600, 1, false}});

        BookmarkEntry entry(item(m_layout, page, 1, QStringLiteral("Song")));
        const auto path = PlaylistShareService::buildSingleBookmarkPDF(entry, QStringLiteral("Song"), cache);
        QVERIFY(path);
        const QImage image = renderPage(path.path, 0);
        const QRgb pixel = image.pixel(probe);
        QVERIFY2(near(pixel, expected), qPrintable(describe(pixel)));
    }

    void singleTitle()
    {
        // A two-letter note at 16 points: its text starts at the top left of a frame at least 24 high.
        // Without annotations given, the book's annotation file is read.
        PdfEditCacheFile cache;
        cache.textsByPage.insert(1, {TextRecord{{300, 300}, QStringLiteral("AB"), {0, 0, 0, 1}, 1, 16}});
        QVERIFY(PdfEditCacheCodec::save(m_layout, cache));
        BookmarkEntry entry(item(m_layout, 2, 2, QStringLiteral("  Blue Train  ")));
        auto path =
            PlaylistShareService::buildSingleBookmarkPDF(entry, QStringLiteral("Blue: Train"), std::nullopt);
        QVERIFY(path);
        QCOMPARE(QFileInfo(path.path).fileName(), QStringLiteral("Blue: Train.pdf"));
        ReadBack pdf = readBack(path.path);
        QCOMPARE(pdf.mediaBoxes.size(), 2);
        QCOMPARE(pdf.outline, QStringList{QStringLiteral("Blue Train -> 0, 792")});
        QCOMPARE(pdf.links, (QList<QStringList>{{}, {}}));
        const QImage image = renderPage(path.path, 0);
        const auto darkIn = [&](QRect area) {
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    if (qGray(image.pixel(x, y)) < 128)
                        return true;
            return false;
        };
        QVERIFY(darkIn(QRect(300, 792 - 324, 40, 24)));
        QVERIFY(!darkIn(QRect(300, 792 - 360, 220, 34)));
        QVERIFY(!darkIn(QRect(300, 792 - 300, 220, 30)));

        // Without annotations, and with a blank title, named after the file.
        QVERIFY(PdfEditCacheCodec::save(m_layout, {}));
        entry.title = QStringLiteral("   ");
        path = PlaylistShareService::buildSingleBookmarkPDF(entry, QStringLiteral("Base"), std::nullopt);
        QVERIFY(path);
        pdf = readBack(path.path);
        QCOMPARE(pdf.outline, QStringList{QStringLiteral("Base -> 0, 792")});
        QCOMPARE(renderPage(path.path, 0).pixel(310, 792 - 310), qRgb(255, 255, 255));

        entry.pageNumber = 10;
        QCOMPARE(
            PlaylistShareService::buildSingleBookmarkPDF(entry, QStringLiteral("Past"), std::nullopt).failure,
            ExportResult::Failure::nothingToExport);
        entry.pdfFilePath = file(QStringLiteral("missing.pdf"));
        const ExportResult missing = PlaylistShareService::buildSingleBookmarkPDF(
            entry, QStringLiteral("Missing"), PdfEditCacheFile());
        QCOMPARE(missing.failure, ExportResult::Failure::bookMissing);
        QCOMPARE(missing.message(), "The book could not be read: " + entry.pdfFilePath);
    }

    // What made nothing says why: no titles or no pages, a book that cannot be read, a full disk.
    void nothingToWrite()
    {
        using F = ExportResult::Failure;
        QCOMPARE(PlaylistShareService::buildPlaylistPDF({}, QStringLiteral("Empty"), true).failure,
                 F::nothingToExport);
        const QList<PlaylistItem> pastTheEnd = {item(m_layout, 50, 1, QStringLiteral("B"))};
        QCOMPARE(PlaylistShareService::buildPlaylistPDF(pastTheEnd, QStringLiteral("Past"), true).failure,
                 F::nothingToExport);
        const QString gone = file(QStringLiteral("missing.pdf"));
        const QList<PlaylistItem> missing = {item(gone, 1, 1, QStringLiteral("A")),
                                             item(m_layout, 50, 1, QStringLiteral("B"))};
        for (const ExportResult &result :
             {PlaylistShareService::buildPlaylistPDF(missing, QStringLiteral("Missing"), true),
              PlaylistShareService::buildPlaylistJPEGs(missing, QStringLiteral("Missing"))}) {
            QCOMPARE(result.failure, F::bookMissing);
            QCOMPARE(result.message(), "The book could not be read: " + gone);
        }
        QVERIFY(QDir(exportFolder()).entryList(QDir::Files).isEmpty());

        // A full disk leaves no truncated PDF behind.
        TestHarness::FileSizeLimit fullDisk(2000);
        const ExportResult full = PlaylistShareService::buildPlaylistPDF(
            {item(m_layout, 1, 9, QStringLiteral("All"))}, QStringLiteral("Full"), true);
        QCOMPARE(full.failure, F::writeFailed);
        QVERIFY(QDir(exportFolder()).entryList(QDir::Files).isEmpty());
    }

    // Builders on worker threads at once, each with books, fonts and icons of its own.
    void parallelBuilds()
    {
        PdfEditCacheFile cache;
        cache.textsByPage.insert(1, {TextRecord{{300, 300}, QStringLiteral("rit."), {0, 0, 0, 1}, 1, 16}});
        QVERIFY(PdfEditCacheCodec::save(m_layout, cache));
        std::atomic<int> made{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                for (int round = 0; round < 3; ++round) {
                    const QString name = QStringLiteral("Parallel %1 %2").arg(t).arg(round);
                    made += bool(PlaylistShareService::buildPlaylistPDF(
                        {item(m_layout, 1, 9, name), item(beethoven, 1, 2, name)}, name, true));
                    made += bool(PlaylistShareService::buildSingleBookmarkPDF(
                        BookmarkEntry(item(m_layout, 2, 1, name)), name, std::nullopt));
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(made.load(), 24);
        QVERIFY(PdfEditCacheCodec::save(m_layout, {}));
    }

    // Progress counts the planned pages and the titles that have pages; a cancelled build leaves
    // nothing behind.
    void progressAndCancel()
    {
        PlaylistItem missing = item(m_layout, 1, 1, QStringLiteral("Gone"));
        missing.pdfFilePath = QStringLiteral("/nonexistent/book.pdf");
        const QList<PlaylistItem> items = {item(m_layout, 1, 3, QStringLiteral("A")), missing,
                                           item(m_layout, 5, 2, QStringLiteral("B"))};
        const QList<QPair<qint64, qint64>> titleCounts{{0, 2}, {1, 2}, {2, 2}};
        QList<QPair<qint64, qint64>> reports;
        QList<QPair<qint64, qint64>> titles;
        BuildProgress progress([&](qint64 done, qint64 total) { reports.append({done, total}); });
        progress.setTitleCallback([&](qint64 done, qint64 total) { titles.append({done, total}); });
        QVERIFY(PlaylistShareService::buildPlaylistPDF(items, QStringLiteral("Counted"), true, &progress));
        QCOMPARE(reports, (QList<QPair<qint64, qint64>>{{1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));
        QCOMPARE(titles, titleCounts);
        titles.clear();
        QVERIFY(PlaylistShareService::buildPlaylistJPEGs(items, QStringLiteral("Counted"), &progress));
        QCOMPARE(titles, titleCounts);

        QDir(exportFolder()).removeRecursively();
        BuildProgress *running = nullptr;
        const auto cancelOnFirstReport = [&](qint64, qint64) { running->cancel(); };
        BuildProgress pdfProgress(cancelOnFirstReport);
        running = &pdfProgress;
        QCOMPARE(
            PlaylistShareService::buildPlaylistPDF(items, QStringLiteral("Cancelled"), true, running).failure,
            ExportResult::Failure::cancelled);
        BuildProgress jpegProgress(cancelOnFirstReport);
        running = &jpegProgress;
        QCOMPARE(
            PlaylistShareService::buildPlaylistJPEGs(items, QStringLiteral("Cancelled"), running).failure,
            ExportResult::Failure::cancelled);
        QVERIFY(QDir(exportFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }
};

LYRAFOLD_TEST_MAIN_WITH(QGuiApplication, PlaylistShareTest)
#include "tst_playlistshare.moc"

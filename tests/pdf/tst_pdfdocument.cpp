#include "PdfFixtures.h"
#include "TestHarness.h"
#include "engine/PdfDocument.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>

#include <atomic>
#include <thread>

using PdfFixtures::Destination;
using PdfFixtures::OutlineNode;

Q_DECLARE_METATYPE(QList<PdfFixtures::OutlineItem>)
Q_DECLARE_METATYPE(QList<PdfFixtures::OutlineNode>)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

using PdfFixtures::testData;

const QString songbook = testData("books/songs-from-the-public-domain.pdf");
const QString tunebook = testData("books/dusty-strings-tunebook.pdf");

PdfDocumentPtr openOrFail(const QString &path)
{
    Result<PdfDocumentPtr> document = PdfDocument::open(path);
    if (!document)
        qWarning() << document.error().message;
    return document ? document.value() : nullptr;
}

// The pages of the layout fixture, the top-left quarter of each drawn black.
const QList<PdfFixtures::Page> layoutPages = {
    {QSizeF(612, 792), 0, QRectF(), false},                      // 1: Letter portrait
    {QSizeF(400, 300), 0, QRectF(), false},                      // 2: landscape
    {QSizeF(612, 792), 90, QRectF(), false},                     // 3: rotated a quarter turn clockwise
    {QSizeF(612, 792), 0, QRectF(0, 392, 306, 400), false},      // 4: cropped to the top-left quarter
    {QSizeF(612, 792), 0, QRectF(0, 0, 0, 0), false},            // 5: empty crop box
    {QSizeF(612, 792), 0, QRectF(0, 0, 0, 0), true},             // 6: empty crop box and media box
    {QSizeF(500, 700), -270, QRectF(100, 100, 200, 300), false}, // 7: rotation as a negative angle
};

bool isBlack(const QImage &image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 40;
}

bool isWhite(const QImage &image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    return qAlpha(pixel) == 255 && qGray(pixel) > 215;
}

bool fullyTransparent(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

// qpdf's own outline reader, as a second opinion on titles and page references.
QList<PdfOutlineItem> outlineByQpdf(const QString &path)
{
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(QFile::encodeName(path).constData());
    QPDFOutlineDocumentHelper outlines(pdf);
    QList<PdfOutlineItem> result;
    for (QPDFOutlineObjectHelper &item : outlines.getTopLevelOutlines()) {
        QPDFObjectHandle page = item.getDestPage();
        std::optional<int> index;
        if (page.isDictionary())
            index = pdf.findPage(page);
        result.append({QString::fromStdString(item.getTitle()), 0, index});
    }
    return result;
}

} // namespace

class PdfDocumentTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{TestHarness::home() + QStringLiteral("/pdf-XXXXXX")};

    QString layoutFixture()
    {
        const QString path = m_dir.filePath(QStringLiteral("layout.pdf"));
        if (!QFile::exists(path))
            PdfFixtures::write(path, layoutPages);
        return path;
    }

    // A small book of ten pages whose outline is the given graph.
    QString outlineGraphFixture(const QList<OutlineNode> &nodes)
    {
        const QString path = m_dir.filePath(QStringLiteral("graph.pdf"));
        QFile::remove(path);
        PdfFixtures::write(path, QList<PdfFixtures::Page>(10));
        PdfFixtures::rewriteOutline(path, nodes);
        return path;
    }

private Q_SLOTS:
    void open_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("error"); // 0: the document opens

        QTest::newRow("relative path") << "relative" << int(PdfOpenError::NotAbsolute);
        QTest::newRow("empty path") << "empty path" << int(PdfOpenError::NotAbsolute);
        QTest::newRow("missing file") << "missing" << int(PdfOpenError::Missing);
        QTest::newRow("folder") << "folder" << int(PdfOpenError::Unreadable);
        QTest::newRow("empty file") << "empty file" << int(PdfOpenError::NotPdf);
        QTest::newRow("text file") << "text" << int(PdfOpenError::NotPdf);
        QTest::newRow("header only") << "header only" << int(PdfOpenError::Truncated);
        QTest::newRow("songbook cut in half") << "half songbook" << int(PdfOpenError::Truncated);
        QTest::newRow("header and end marker, nothing else") << "hollow" << int(PdfOpenError::Damaged);
        QTest::newRow("user password") << "password" << int(PdfOpenError::PasswordProtected);
        QTest::newRow("encrypted without user password") << "owner password" << 0;
        QTest::newRow("generated book") << "generated" << 0;
        QTest::newRow("real songbook") << "songbook" << 0;
    }

    void open()
    {
        QFETCH(QString, kind);
        QFETCH(int, error);
        QString path = m_dir.filePath(kind + QStringLiteral(".pdf"));
        if (kind == QLatin1String("relative")) {
            path = QStringLiteral("books/songs-from-the-public-domain.pdf");
            QDir::setCurrent(QStringLiteral(LYRAFOLD_TESTDATA_DIR));
        } else if (kind == QLatin1String("empty path")) {
            path.clear();
        } else if (kind == QLatin1String("folder")) {
            path = m_dir.path();
        } else if (kind == QLatin1String("empty file")) {
            TestHarness::writeFile(path, {});
        } else if (kind == QLatin1String("text")) {
            TestHarness::writeFile(path, "Come again, sweet love\n%%EOF\n");
        } else if (kind == QLatin1String("header only")) {
            TestHarness::writeFile(path, "%PDF-1.7\n");
        } else if (kind == QLatin1String("half songbook")) {
            const QByteArray bytes = TestHarness::readFile(songbook);
            TestHarness::writeFile(path, bytes.left(bytes.size() / 2));
        } else if (kind == QLatin1String("hollow")) {
            TestHarness::writeFile(path, "%PDF-1.7\n%%EOF\n");
        } else if (kind == QLatin1String("password") || kind == QLatin1String("owner password")) {
            PdfFixtures::write(path, {{}, {}});
            PdfFixtures::encrypt(path, kind == QLatin1String("password") ? "secret" : "");
        } else if (kind == QLatin1String("generated")) {
            PdfFixtures::write(path, {{}, {}});
        } else if (kind == QLatin1String("songbook")) {
            path = songbook;
        }

        const Result<PdfDocumentPtr> document = PdfDocument::open(path);
        if (error == 0) {
            QVERIFY2(document.ok(), qPrintable(document.error().message));
            QCOMPARE(document.value()->path(), path);
            QVERIFY(document.value()->pageCount() >= 2);
            QVERIFY(document.value()->render(1, 0.25));
        } else {
            QVERIFY(!document.ok());
            QCOMPARE(document.error().code, error);
            QVERIFY(!document.error().message.isEmpty());
        }
    }

    void pageBoxes_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QRectF>("mediaBox");
        QTest::addColumn<QRectF>("cropBox");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QSizeF>("shownSize");

        const QRectF letter(0, 0, 612, 792);
        QTest::newRow("portrait") << 0 << letter << QRectF() << 0 << QSizeF(612, 792);
        QTest::newRow("landscape") << 1 << QRectF(0, 0, 400, 300) << QRectF() << 0 << QSizeF(400, 300);
        QTest::newRow("rotated") << 2 << letter << QRectF() << 90 << QSizeF(792, 612);
        QTest::newRow("cropped") << 3 << letter << QRectF(0, 392, 306, 400) << 0 << QSizeF(306, 400);
        QTest::newRow("empty crop box") << 4 << letter << QRectF() << 0 << QSizeF(612, 792);
        QTest::newRow("negative rotation, cropped")
            << 6 << QRectF(0, 0, 500, 700) << QRectF(100, 100, 200, 300) << -270 << QSizeF(300, 200);
    }

    void pageBoxes()
    {
        QFETCH(int, page);
        QFETCH(QRectF, mediaBox);
        QFETCH(QRectF, cropBox);
        QFETCH(int, rotation);
        QFETCH(QSizeF, shownSize);
        const PdfDocumentPtr document = openOrFail(layoutFixture());
        QVERIFY(document);
        QCOMPARE(document->pageCount(), layoutPages.size());
        const Result<PdfPageBoxes> boxes = document->pageBoxes(page);
        QVERIFY(boxes);
        QCOMPARE(boxes->mediaBox, mediaBox);
        QCOMPARE(boxes->cropBox.isEmpty(), cropBox.isEmpty());
        if (!cropBox.isEmpty())
            QCOMPARE(boxes->cropBox, cropBox);
        QCOMPARE(boxes->rotation, rotation);
        QCOMPARE(document->pageSize(page), shownSize);
    }

    void pageBoxesOfRealBooks()
    {
        const PdfDocumentPtr scan = openOrFail(testData("scans/beethoven-sonata-19-op49-1.pdf"));
        QVERIFY(scan);
        QCOMPARE(scan->pageCount(), 8);
        const Result<PdfPageBoxes> boxes = scan->pageBoxes(7);
        QVERIFY(boxes);
        QCOMPARE(boxes->mediaBox.size(), QSizeF(658.8, 866.52));
        QVERIFY(!scan->pageBoxes(8));
        QVERIFY(!scan->pageBoxes(-1));
        QCOMPARE(scan->pageSize(8), QSizeF());
    }

    void outline_data()
    {
        using Items = QList<PdfFixtures::OutlineItem>;
        QTest::addColumn<Items>("items");

        QTest::newRow("none") << Items{};
        QTest::newRow("flat") << Items{{"Intro", 0, 1}, {"Song A", 0, 3}, {"Song B", 0, 7}};
        QTest::newRow("nested three deep")
            << Items{{"Part 1", 0, 1}, {"Reels", 1, 2}, {"Drowsy Maggie", 2, 2},    {"Jigs", 1, 4},
                     {"Part 2", 0, 6}, {"Airs", 1, 8},  {"Sí Bheag, Sí Mhór", 2, 9}};
        QTest::newRow("empty label with children")
            << Items{{"Intro", 0, 1}, {"", 0, 2}, {"Song A", 1, 3}, {"Song B", 1, 7}};
        QTest::newRow("blank labels kept as written") << Items{{"   ", 0, 1}, {"\tSong\n", 0, 2}};
        QTest::newRow("items without destination") << Items{{"Index", 0, 0}, {"Song", 1, 0}, {"Coda", 0, 10}};
        QTest::newRow("same page") << Items{{"A", 0, 5}, {"B", 0, 5}, {"C", 0, 9}};
        QTest::newRow("not in page order") << Items{{"Zither", 0, 2}, {"Anthem", 0, 9}, {"Minuet", 0, 5}};
    }

    void outline()
    {
        QFETCH(QList<PdfFixtures::OutlineItem>, items);
        const QString path = m_dir.filePath(QStringLiteral("outline.pdf"));
        PdfFixtures::write(path, QList<PdfFixtures::Page>(10), items);
        const PdfDocumentPtr document = openOrFail(path);
        QVERIFY(document);
        QList<PdfOutlineItem> expected;
        for (const PdfFixtures::OutlineItem &item : items)
            expected.append(
                {item.title, item.level, item.page > 0 ? std::optional(item.page - 1) : std::nullopt});
        QCOMPARE(document->outline(), expected);
    }

    void destinationForms_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<int>("neighbourForm");
        QTest::addColumn<std::optional<int>>("pageIndex");

        const int reference = int(Destination::PageReference);
        QTest::newRow("page reference") << reference << reference << std::optional(6);
        QTest::newRow("page number") << int(Destination::PageNumber) << reference << std::optional(6);
        QTest::newRow("name in the name tree")
            << int(Destination::NamedString) << reference << std::optional(6);
        QTest::newRow("name in the Dests dictionary")
            << int(Destination::NamedObject) << reference << std::optional(6);
        QTest::newRow("name in the name tree beside a Dests dictionary")
            << int(Destination::NamedString) << int(Destination::NamedObject) << std::optional(6);
        QTest::newRow("GoTo action naming a destination")
            << int(Destination::GoToNamed) << reference << std::optional(6);
        QTest::newRow("GoTo action naming a destination beside a Dests dictionary")
            << int(Destination::GoToNamed) << int(Destination::NamedObject) << std::optional(6);
        QTest::newRow("GoTo action with a page reference")
            << int(Destination::GoToPageReference) << reference << std::optional(6);
        QTest::newRow("destination in another file")
            << int(Destination::RemoteGoTo) << reference << std::optional<int>();
        QTest::newRow("unknown name") << int(Destination::UnknownName) << reference << std::optional<int>();
        QTest::newRow("unknown name beside a Dests dictionary")
            << int(Destination::UnknownName) << int(Destination::NamedObject) << std::optional<int>();
        QTest::newRow("no destination") << int(Destination::None) << reference << std::optional<int>();
    }

    void destinationForms()
    {
        QFETCH(int, form);
        QFETCH(int, neighbourForm);
        QFETCH(std::optional<int>, pageIndex);
        const auto destination = Destination(form);
        // The items under test sit after a neighbour, so that names and pages cannot mix.
        const QString path = outlineGraphFixture({{"Before", -1, 1, 2, Destination(neighbourForm)},
                                                  {"Under test", -1, 2, 7, destination},
                                                  {"After", -1, -1, 9, destination}});
        const PdfDocumentPtr document = openOrFail(path);
        QVERIFY(document);
        const QList<PdfOutlineItem> outline = document->outline();
        QCOMPARE(outline.size(), 3);
        QCOMPARE(outline[0].pageIndex, std::optional(1));
        QCOMPARE(outline[1].title, QStringLiteral("Under test"));
        QCOMPARE(outline[1].pageIndex, pageIndex);
        QCOMPARE(outline[2].pageIndex, pageIndex ? std::optional(8) : std::nullopt);
    }

    void malformedOutline_data()
    {
        using Nodes = QList<OutlineNode>;
        QTest::addColumn<Nodes>("nodes");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("deepestLevel");

        QTest::newRow("item is its own child") << Nodes{{"A", 0, -1, 1}} << 1 << 0;
        QTest::newRow("item is its own sibling") << Nodes{{"A", -1, 0, 1}} << 1 << 0;
        QTest::newRow("siblings in a ring")
            << Nodes{{"A", -1, 1, 1}, {"B", -1, 2, 2}, {"C", -1, 0, 3}} << 3 << 0;
        QTest::newRow("child links back to its parent") << Nodes{{"A", 1, -1, 1}, {"B", 0, -1, 2}} << 2 << 1;

        Nodes chain;
        for (int i = 0; i < 1000; ++i)
            chain.append({QStringLiteral("Level %1").arg(i), i + 1 < 1000 ? i + 1 : -1, -1, 1 + i % 10});
        QTest::newRow("a thousand levels deep")
            << chain << PdfDocument::maxOutlineDepth << PdfDocument::maxOutlineDepth - 1;

        // Two items per level, both with the next level as children: every level doubles the walk.
        Nodes doubling;
        for (int level = 0; level < 40; ++level) {
            const int child = level + 1 < 40 ? 2 * (level + 1) : -1;
            doubling.append({QStringLiteral("A%1").arg(level), child, 2 * level + 1, 1});
            doubling.append({QStringLiteral("B%1").arg(level), child, -1, 2});
        }
        QTest::newRow("shared subtrees doubling per level") << doubling << PdfDocument::maxOutlineItems << 39;
    }

    void malformedOutline()
    {
        QFETCH(QList<OutlineNode>, nodes);
        QFETCH(int, count);
        QFETCH(int, deepestLevel);
        const PdfDocumentPtr document = openOrFail(outlineGraphFixture(nodes));
        QVERIFY(document);
        const QList<PdfOutlineItem> outline = document->outline();
        QCOMPARE(outline.size(), count);
        int deepest = 0;
        for (const PdfOutlineItem &item : outline)
            deepest = std::max(deepest, item.level);
        QCOMPARE(deepest, deepestLevel);
    }

    void songbookOutlineAgreesWithQpdf()
    {
        const PdfDocumentPtr document = openOrFail(songbook);
        QVERIFY(document);
        QCOMPARE(document->pageCount(), 193);
        const QList<PdfOutlineItem> outline = document->outline();
        QCOMPARE(outline.size(), 201);
        QCOMPARE(outline.first(), (PdfOutlineItem{QStringLiteral("--Contents--"), 0, 1}));
        QCOMPARE(outline, outlineByQpdf(songbook));
    }

    void tunebookNamedDestinations_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("page"); // 1-based, as read from the name tree with qpdf

        QTest::newRow("first") << 0 << "Angeline the Baker" << 9;
        QTest::newRow("second, same page") << 1 << "Arkansas Traveler" << 9;
        QTest::newRow("alone on its page") << 14 << "Kitchen Girl" << 16;
        QTest::newRow("third on a page") << 23 << "Rat's Gone To Rest" << 20;
        QTest::newRow("last") << 31 << "Swallowtail Jig" << 24;
    }

    void tunebookNamedDestinations()
    {
        QFETCH(int, position);
        QFETCH(QString, title);
        QFETCH(int, page);
        const PdfDocumentPtr document = openOrFail(tunebook);
        QVERIFY(document);
        QCOMPARE(document->pageCount(), 26);
        const QList<PdfOutlineItem> outline = document->outline();
        QCOMPARE(outline.size(), 32);
        QVERIFY(std::all_of(outline.begin(), outline.end(), [](const PdfOutlineItem &item) {
            return item.level == 0 && item.pageIndex.has_value();
        }));
        QCOMPARE(outline.at(position), (PdfOutlineItem{title, 0, page - 1}));
    }

    void booksWithoutOutline_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("pages");
        QTest::newRow("songbook without outline")
            << testData("books/songs-from-the-public-domain-no-outline.pdf") << 193;
        QTest::newRow("scanned sonata") << testData("scans/beethoven-sonata-19-op49-1.pdf") << 8;
        QTest::newRow("engraved rag") << testData("books/joplin-pineapple-rag.pdf") << 4;
    }

    void booksWithoutOutline()
    {
        QFETCH(QString, path);
        QFETCH(int, pages);
        const PdfDocumentPtr document = openOrFail(path);
        QVERIFY(document);
        QCOMPARE(document->pageCount(), pages);
        QVERIFY(document->outline().isEmpty());
    }

    void render_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("black");
        QTest::addColumn<QPoint>("white");

        QTest::newRow("whole page") << 0 << 1.0 << QRect() << QSize(612, 792) << QPoint(10, 10)
                                    << QPoint(600, 780);
        QTest::newRow("half scale") << 0 << 0.5 << QRect() << QSize(306, 396) << QPoint(70, 90)
                                    << QPoint(80, 100);
        QTest::newRow("rotated: the top-left corner turns to the top right")
            << 2 << 1.0 << QRect() << QSize(792, 612) << QPoint(780, 10) << QPoint(10, 10);
        QTest::newRow("crop box") << 3 << 1.0 << QRect() << QSize(306, 400) << QPoint(10, 10)
                                  << QPoint(300, 390);
        QTest::newRow("region in the corner")
            << 0 << 2.0 << QRect(0, 0, 100, 80) << QSize(100, 80) << QPoint(99, 79) << QPoint(-1, -1);
        QTest::newRow("region beyond the corner")
            << 0 << 2.0 << QRect(300, 390, 50, 50) << QSize(50, 50) << QPoint(3, 3) << QPoint(10, 10);
        QTest::newRow("region overlapping the page edge")
            << 0 << 1.0 << QRect(600, 780, 50, 50) << QSize(12, 12) << QPoint(-1, -1) << QPoint(5, 5);
    }

    void render()
    {
        QFETCH(int, page);
        QFETCH(double, scale);
        QFETCH(QRect, region);
        QFETCH(QSize, size);
        QFETCH(QPoint, black);
        QFETCH(QPoint, white);
        const PdfDocumentPtr document = openOrFail(layoutFixture());
        QVERIFY(document);
        const Result<QImage> image = document->render(page, scale, region);
        QVERIFY2(image.ok(), qPrintable(image.error().message));
        QCOMPARE(image->size(), size);
        if (black.x() >= 0)
            QVERIFY(isBlack(image.value(), black.x(), black.y()));
        if (white.x() >= 0)
            QVERIFY(isWhite(image.value(), white.x(), white.y()));
    }

    void renderRefused_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QRect>("region");

        QTest::newRow("page before the first") << -1 << 1.0 << QRect();
        QTest::newRow("page after the last") << int(layoutPages.size()) << 1.0 << QRect();
        QTest::newRow("zero scale") << 0 << 0.0 << QRect();
        QTest::newRow("negative scale") << 0 << -1.0 << QRect();
        QTest::newRow("not a number") << 0 << std::nan("") << QRect();
        QTest::newRow("infinite scale") << 0 << HUGE_VAL << QRect();
        QTest::newRow("billions of pixels") << 0 << 200.0 << QRect();
        QTest::newRow("region outside the page") << 0 << 1.0 << QRect(700, 0, 10, 10);
    }

    void renderRefused()
    {
        QFETCH(int, page);
        QFETCH(double, scale);
        QFETCH(QRect, region);
        const PdfDocumentPtr document = openOrFail(layoutFixture());
        QVERIFY(document);
        const Result<QImage> image = document->render(page, scale, region);
        QVERIFY(!image.ok());
        QVERIFY(!image.error().message.isEmpty());
    }

    void thumbnail_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<QPoint>("black");
        QTest::addColumn<QPoint>("white");

        // Landscape into portrait: 44 x 33 with bars of 11 and 12 rows above and below.
        QTest::newRow("landscape page, bars above and below")
            << 1 << QSize(44, 56) << false << QPoint(2, 13) << QPoint(2, 5);
        // Portrait into landscape: 43 x 56 with bars of 28 and 29 columns at the sides.
        QTest::newRow("portrait page, bars at the sides")
            << 0 << QSize(100, 56) << false << QPoint(30, 2) << QPoint(10, 2);
        QTest::newRow("rotated page") << 2 << QSize(44, 56) << false << QPoint(41, 13) << QPoint(2, 13);
        QTest::newRow("empty crop box: the media box is used")
            << 4 << QSize(44, 56) << false << QPoint(2, 2) << QPoint(40, 50);
        QTest::newRow("empty crop box and media box") << 5 << QSize(44, 56) << true << QPoint() << QPoint();
        QTest::newRow("page that does not exist") << 99 << QSize(44, 56) << true << QPoint() << QPoint();
        QTest::newRow("empty size") << 0 << QSize(0, 56) << true << QPoint() << QPoint();
    }

    void thumbnail()
    {
        QFETCH(int, page);
        QFETCH(QSize, size);
        QFETCH(bool, transparent);
        QFETCH(QPoint, black);
        QFETCH(QPoint, white);
        const PdfDocumentPtr document = openOrFail(layoutFixture());
        QVERIFY(document);
        const QImage image = document->thumbnail(page, size);
        if (size.isEmpty()) {
            QVERIFY(image.isNull());
            return;
        }
        QCOMPARE(image.size(), size);
        QCOMPARE(fullyTransparent(image), transparent);
        if (transparent)
            return;
        QVERIFY(isBlack(image, black.x(), black.y()));
        QVERIFY(isWhite(image, white.x(), white.y()));
    }

    // One document shared by several threads, next to documents of their own: the lock has to keep
    // poppler from being entered twice through one document.
    void renderFromManyThreads()
    {
        const PdfDocumentPtr shared = openOrFail(songbook);
        QVERIFY(shared);
        std::atomic<int> rendered{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back([&, t] {
                const PdfDocumentPtr document = t % 2 ? shared : openOrFail(songbook);
                for (int i = 0; i < 3 && document; ++i) {
                    const int page = 10 + t * 3 + i;
                    if (document->render(page, 0.5) && !document->thumbnail(page, QSize(60, 80)).isNull() &&
                        document->pageBoxes(page))
                        ++rendered;
                    document->outline();
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(rendered.load(), 18);
    }
};

LYRAFOLD_TEST_MAIN(PdfDocumentTest)
#include "tst_pdfdocument.moc"

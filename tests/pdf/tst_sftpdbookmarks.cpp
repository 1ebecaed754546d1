#include "PdfFixtures.h"
#include "TestHarness.h"
#include "core/books/DefaultBookmarks.h"
#include "core/resources/BundledResources.h"
#include "pdf/extract/PdfBookmarkExtractor.h"

// The songs of sftpd.pdf that ship in the built-in list were made by the extractor and checked by hand
// (resources/sources/README.md). A change of the extractor or of the title rules that would extract the
// book differently must show here, or the shipped list and the user's own extraction drift apart.
class SftpdBookmarksTest : public QObject {
    Q_OBJECT

    // The book's outline entry that is no song; the generator leaves it out.
    static constexpr QLatin1String contentsEntry{"--Contents--"};

    // "title | level | page | span | total pages", one line a song, in list order.
    static QStringList describe(const QList<DefaultBookmarkRecord> &records)
    {
        QStringList lines;
        for (const DefaultBookmarkRecord &r : records) {
            if (r.pdfFileName == QLatin1String("sftpd.pdf")) {
                lines.append(QStringLiteral("%1 | %2 | %3 | %4 | %5")
                                 .arg(r.title)
                                 .arg(r.level)
                                 .arg(r.pageNumber)
                                 .arg(r.pageSpan.value_or(-1))
                                 .arg(r.totalPages.value_or(-1)));
            }
        }
        return lines;
    }

    static QStringList describe(const BookmarkList &entries)
    {
        QStringList lines;
        for (const BookmarkEntry &e : entries) {
            lines.append(QStringLiteral("%1 | %2 | %3 | %4 | %5")
                             .arg(e.title)
                             .arg(e.level)
                             .arg(e.pageNumber)
                             .arg(e.pageSpan)
                             .arg(e.totalPages));
        }
        return lines;
    }

private Q_SLOTS:
    void extractorGivesTheShippedSongs_data()
    {
        QTest::addColumn<QString>("listPath");
        QTest::newRow("generator input")
            << QStringLiteral(LYRAFOLD_SOURCE_DIR "/resources/sources/sftpd-bookmarks.json");
        const auto builtIn = BundledResources::find(
            QStringLiteral("Bundled"), QStringLiteral("DefaultBookmarks"), QStringLiteral("json"));
        QTest::newRow("built-in list") << builtIn.value_or(QString());
    }

    void extractorGivesTheShippedSongs()
    {
        QFETCH(QString, listPath);
        const auto records = DefaultBookmarks::decode(TestHarness::readFile(listPath));
        QVERIFY2(records, qPrintable(records.error().message));
        const QStringList shipped = describe(records.value());
        QCOMPARE(shipped.size(), 200);

        BookmarkList extracted = PdfBookmarkExtractor::extractBookmarks(
            TestHarness::testData("books/songs-from-the-public-domain.pdf"));
        QCOMPARE(extracted.size(), 201);
        QCOMPARE(extracted.removeIf([](const BookmarkEntry &e) { return e.title == contentsEntry; }), 1);
        // Compared line by line, so a failure names the first song that changed.
        QCOMPARE(shipped, describe(extracted));
    }
};

LYRAFOLD_TEST_MAIN(SftpdBookmarksTest)
#include "tst_sftpdbookmarks.moc"

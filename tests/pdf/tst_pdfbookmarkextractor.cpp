#include "PdfFixtures.h"
#include "TestHarness.h"
#include "pdf/extract/PdfBookmarkExtractor.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <limits>

using Items = QList<PdfFixtures::OutlineItem>;
Q_DECLARE_METATYPE(Items)
Q_DECLARE_METATYPE(BookmarkEntry)

namespace {

using TestHarness::testData;

// "title | level | page | span | composer": the fields the extraction decides, one line an entry.
QString describe(const BookmarkEntry &entry)
{
    return QStringLiteral("%1 | %2 | %3 | %4 | %5")
        .arg(entry.title)
        .arg(entry.level)
        .arg(entry.pageNumber)
        .arg(entry.pageSpan)
        .arg(entry.composer);
}

QStringList describe(const BookmarkList &list)
{
    QStringList lines;
    for (const BookmarkEntry &entry : list)
        lines.append(describe(entry));
    return lines;
}

BookmarkEntry entry(const QString &path, qint64 page, qint64 totalPages, qint64 span = -1)
{
    BookmarkEntry e;
    e.pdfFilePath = path;
    e.pdfFileName = QFileInfo(path).fileName();
    e.title = QStringLiteral("Song on %1").arg(page);
    e.pageNumber = page;
    e.totalPages = totalPages;
    e.pageSpan = span;
    return e;
}

} // namespace

class PdfBookmarkExtractorTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{TestHarness::home() + QStringLiteral("/extract-XXXXXX")};

private Q_SLOTS:
    void extraction_data()
    {
        QTest::addColumn<Items>("outline");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("children of an empty item are read one level down")
            << Items{{"Intro", 0, 1}, {"", 0, 2}, {"Song A", 1, 3}, {"Song B", 1, 7}} << 10
            << QStringList{"Intro | 0 | 1 | 2 | ", "Song A | 1 | 3 | 4 | ", "Song B | 1 | 7 | 4 | "};
        QTest::newRow("same start page: the last one reaches on")
            << Items{{"A", 0, 5}, {"B", 0, 5}, {"C", 0, 9}} << 10
            << QStringList{"A | 0 | 5 | 1 | ", "B | 0 | 5 | 4 | ", "C | 0 | 9 | 2 | "};
        QTest::newRow("blank label and bracketed note make no entry, their children do")
            << Items{{"  \t ", 0, 1}, {"Reel", 1, 2}, {"[Index]", 0, 4}, {"Jig", 1, 6}, {"Air", 2, 8}} << 9
            << QStringList{"Reel | 1 | 2 | 4 | ", "Jig | 1 | 6 | 2 | ", "Air | 2 | 8 | 2 | "};
        QTest::newRow("page range of an item without destination")
            << Items{{"Blue Night (pages 12-14)", 0, 0}, {"Coda", 0, 18}} << 20
            << QStringList{"Blue Night | 0 | 12 | 6 | ", "Coda | 0 | 18 | 3 | "};
        QTest::newRow("leading page number wins over the destination")
            << Items{{"07 Blue Night", 0, 3}, {"Coda", 0, 9}} << 10
            << QStringList{"Blue Night | 0 | 7 | 2 | ", "Coda | 0 | 9 | 2 | "};
        QTest::newRow("composer note: composer taken, note removed, no trailing split")
            << Items{{"Blue Night (Bo Ray) (Composer: Ann Lee)", 0, 2}} << 4
            << QStringList{"Blue Night (Bo Ray) | 0 | 2 | 3 | Ann Lee"};
        QTest::newRow("note only the patterns know stays in the title")
            << Items{{"Blue Night (Composer Ann Lee)", 0, 2}} << 4
            << QStringList{"Blue Night (Composer Ann Lee) | 0 | 2 | 3 | Ann Lee"};
        QTest::newRow("trailing bracketed name")
            << Items{{"Blue Night (Ann Lee)", 0, 1}} << 1 << QStringList{"Blue Night | 0 | 1 | 1 | Ann Lee"};
        QTest::newRow("no destination, no page marker: page 0, span 0")
            << Items{{"Lost Song", 0, 0}, {"Found Song", 0, 3}} << 5
            << QStringList{"Lost Song | 0 | 0 | 0 | ", "Found Song | 0 | 3 | 3 | "};
        QTest::newRow("every item excluded") << Items{{"***", 0, 1}, {"(Intro)", 0, 2}} << 3 << QStringList{};
        QTest::newRow("no outline") << Items{} << 3 << QStringList{};
    }

    void extraction()
    {
        QFETCH(Items, outline);
        QFETCH(int, pages);
        QFETCH(QStringList, expected);
        const QString path = m_dir.filePath(QStringLiteral("Fiddle Book.pdf"));
        PdfFixtures::write(path, QList<PdfFixtures::Page>(pages), outline);

        const BookmarkList entries = PdfBookmarkExtractor::extractBookmarks(path);
        QCOMPARE(describe(entries), expected);
        for (BookmarkEntry e : entries) { // the fields besides those described
            e.title = e.composer = QString();
            e.level = e.pageNumber = e.pageSpan = 0;
            BookmarkEntry fixed;
            fixed.pdfFileName = QStringLiteral("Fiddle Book.pdf");
            fixed.pdfFilePath = path;
            fixed.totalPages = pages;
            QCOMPARE(e, fixed);
        }
    }

    void unusableFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/book.pdf");
        QTest::newRow("relative path") << QStringLiteral("books/songs-from-the-public-domain.pdf");
        QTest::newRow("not a PDF") << testData("metadata/songs-from-the-public-domain.tsv");
        QTest::newRow("book without outline")
            << testData("books/songs-from-the-public-domain-no-outline.pdf");
        QTest::newRow("scan without outline") << testData("scans/beethoven-sonata-19-op49-1.pdf");
    }

    void unusableFiles()
    {
        QFETCH(QString, path);
        QVERIFY(PdfBookmarkExtractor::extractBookmarks(path).isEmpty());
    }

    void realBooks_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("expected");

        const QString songbook = testData("books/songs-from-the-public-domain.pdf");
        const QString tunebook = testData("books/dusty-strings-tunebook.pdf");
        QTest::newRow("songbook: contents") << songbook << 201 << 0 << "--Contents-- | 0 | 2 | 2 | ";
        QTest::newRow("songbook: four pages") << songbook << 201 << 174 << "Song of Spring | 0 | 24 | 4 | ";
        QTest::newRow("songbook: one bracketed word stays")
            << songbook << 201 << 11 << "The Battle Cry of Freedom (Confederate) | 0 | 77 | 1 | ";
        QTest::newRow("tunebook: third on a page")
            << tunebook << 32 << 23 << "Rat's Gone To Rest | 0 | 20 | 1 | ";
        QTest::newRow("tunebook: last song to the end")
            << tunebook << 32 << 31 << "Swallowtail Jig | 0 | 24 | 3 | ";
        // Outline titles written to break the application.
        const QString hostile = testData("hostile/hostile-titles.pdf");
        QTest::newRow("hostile: control characters") << hostile << 14 << 6 << "Ctlchars | 0 | 7 | 1 | ";
        QTest::newRow("hostile: NUL") << hostile << 14 << 12 << "NulByte | 0 | 13 | 1 | ";
        QTest::newRow("hostile: 100,000 characters")
            << hostile << 14 << 8 << "Long " + QString(295, u'A') + " | 0 | 9 | 1 | ";
    }

    void realBooks()
    {
        QFETCH(QString, book);
        QFETCH(int, count);
        QFETCH(int, position);
        QFETCH(QString, expected);
        const BookmarkList entries = PdfBookmarkExtractor::extractBookmarks(book);
        QCOMPARE(entries.size(), count);
        QCOMPARE(describe(entries.at(position)), expected);
    }

    void recalculatePageSpans_data()
    {
        QTest::addColumn<BookmarkList>("list");
        QTest::addColumn<QList<qint64>>("spans");

        const QString a = QStringLiteral("/books/A.pdf");
        const QString b = QStringLiteral("/books/B.pdf");
        // Book A has 20 pages, book B 8; each book's first entry in page order gives its page count.
        QTest::newRow("two books mixed, each on its own")
            << BookmarkList{entry(a, 10, 99), entry(b, 3, 8), entry(a, 2, 20), entry(b, 6, 8),
                            entry(a, 15, 20)}
            << QList<qint64>{5, 3, 8, 3, 6};
        QTest::newRow("no page count: span 1, or 0 without a page")
            << BookmarkList{entry(a, 4, 0), entry(a, 0, 0), entry(a, 9, 0)} << QList<qint64>{1, 0, 1};
        QTest::newRow("pageless entries are nobody's next page")
            << BookmarkList{entry(a, 3, 10), entry(a, 0, 10), entry(a, 0, 10)} << QList<qint64>{8, 0, 0};
        QTest::newRow("start beyond the last page") << BookmarkList{entry(a, 30, 10)} << QList<qint64>{1};
        constexpr qint64 huge = std::numeric_limits<qint64>::max();
        QTest::newRow("extreme values do not overflow")
            << BookmarkList{entry(a, huge, huge), entry(a, -huge, huge), entry(a, 1, huge)}
            << QList<qint64>{1, huge, huge - 1};
        QTest::newRow("empty list") << BookmarkList{} << QList<qint64>{};
    }

    void recalculatePageSpans()
    {
        QFETCH(BookmarkList, list);
        QFETCH(QList<qint64>, spans);
        BookmarkList expected = list;
        for (qsizetype i = 0; i < expected.size(); ++i)
            expected[i].pageSpan = spans[i];
        PdfBookmarkExtractor::recalculatePageSpans(list);
        QCOMPARE(describe(list), describe(expected));
        QVERIFY(list == expected); // nothing but the spans changed, and the order is kept
    }
};

LYRAFOLD_TEST_MAIN(PdfBookmarkExtractorTest)
#include "tst_pdfbookmarkextractor.moc"

#include "TestHarness.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/extract/PdfBookmarkExtractor.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

// Damaged copies of the real books go through everything that reads a PDF. Nothing is expected of
// the results except that they come back: no crash, no hang. The variants are fixed by their seeds.
// LYRAFOLD_PDFFUZZ_PART="i/n" keeps every n-th variant from the i-th on, so that CTest runs the parts
// side by side.
namespace {

enum class Damage { Truncated, TruncatedWithEndMarker, ChunkRemoved, CorruptedBytes, CorruptedTail };

const char *const books[] = {
    "books/songs-from-the-public-domain.pdf",
    "books/dusty-strings-tunebook.pdf",
    "books/joplin-pineapple-rag.pdf",
    "scans/beethoven-sonata-19-op49-1.pdf",
};

struct Part {
    quint32 index = 0;
    quint32 count = 1;
};

Part selectedPart()
{
    const QList<QByteArray> fields = qgetenv("LYRAFOLD_PDFFUZZ_PART").split('/');
    Part part;
    bool indexRead = false, countRead = false;
    if (fields.size() == 2) {
        part.index = fields[0].toUInt(&indexRead);
        part.count = fields[1].toUInt(&countRead);
    }
    if (!indexRead || !countRead || part.count == 0 || part.index >= part.count)
        return {};
    return part;
}

QByteArray damaged(const QByteArray &original, Damage damage, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes = original;
    const qsizetype size = bytes.size();
    switch (damage) {
    case Damage::Truncated:
        bytes.truncate(random.bounded(size));
        break;
    case Damage::TruncatedWithEndMarker:
        bytes.truncate(random.bounded(size));
        bytes.append("\n%%EOF\n");
        break;
    case Damage::ChunkRemoved:
        // Every offset behind the gap is wrong: the reader has to rebuild its cross-reference table.
        bytes.remove(random.bounded(size / 2), 1 + random.bounded(65536));
        break;
    case Damage::CorruptedBytes:
    case Damage::CorruptedTail: {
        // The tail holds the cross-reference data, the trailer and, in these books, the outline.
        const qsizetype from = damage == Damage::CorruptedTail ? size - size / 20 : 0;
        const int count = 1 + random.bounded(32);
        for (int i = 0; i < count; ++i)
            bytes[from + random.bounded(size - from)] = char(random.bounded(256));
        break;
    }
    }
    return bytes;
}

} // namespace

class PdfFuzzTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{TestHarness::home() + QStringLiteral("/fuzz-XXXXXX")};

private Q_SLOTS:
    void damagedBooks_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("damage");
        QTest::addColumn<quint32>("seed");

        const struct {
            Damage damage;
            const char *name;
            int variants;
        } kinds[] = {
            {Damage::Truncated, "truncated", 4},
            {Damage::TruncatedWithEndMarker, "truncated, end marker appended", 4},
            {Damage::ChunkRemoved, "chunk removed", 8},
            {Damage::CorruptedBytes, "bytes corrupted", 20},
            {Damage::CorruptedTail, "bytes corrupted near the end", 20},
        };
        const Part part = selectedPart();
        quint32 seed = 1;
        for (const char *book : books)
            for (const auto &kind : kinds)
                for (int i = 0; i < kind.variants; ++i, ++seed)
                    if (seed % part.count == part.index)
                        QTest::addRow("%s, %s, seed %u", book, kind.name, seed)
                            << QString::fromLatin1(book) << int(kind.damage) << seed;
    }

    void damagedBooks()
    {
        QFETCH(QString, book);
        QFETCH(int, damage);
        QFETCH(quint32, seed);
        const QByteArray original = TestHarness::readFile(TestHarness::testData(book));
        QVERIFY(!original.isEmpty());
        const QString path = m_dir.filePath(QStringLiteral("damaged.pdf"));
        TestHarness::writeFile(path, damaged(original, Damage(damage), seed));

        const Result<PdfDocumentPtr> opened = PdfDocument::open(path);
        if (!opened) {
            QVERIFY(!opened.error().message.isEmpty());
            return;
        }
        const PdfDocument &document = *opened.value();
        for (const BookmarkEntry &entry : PdfBookmarkExtractor::extractBook(document, path).bookmarks)
            QVERIFY(entry.pageSpan >= 0 && entry.pageNumber >= 0);
        const int pages = document.pageCount();
        for (const PdfOutlineItem &item : document.outline())
            QVERIFY(!item.pageIndex || (*item.pageIndex >= 0 && *item.pageIndex < pages));
        if (pages == 0)
            return;
        for (const int page : {0, pages / 2, pages - 1})
            document.pageBoxes(page);
        // One render a variant: decoding a 600 dpi scan dominates the time, whatever the scale.
        const int page = int(seed % quint32(pages));
        if (seed % 2)
            QCOMPARE(document.thumbnail(page, QSize(40, 52)).size(), QSize(40, 52));
        else
            document.render(page, 1.0, QRect(100, 100, 64, 64));
    }
};

LYRAFOLD_TEST_MAIN(PdfFuzzTest)
#include "tst_pdffuzz.moc"

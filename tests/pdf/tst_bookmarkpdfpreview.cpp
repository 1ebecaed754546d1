#include "PdfFixtures.h"
#include "TestHarness.h"
#include "pdf/render/LyrafoldBookmarkPdfPreview.h"

// The hover preview's picture of a page. The book it opened last stays open until the process ends,
// so under AddressSanitizer this also checks that the process then ends cleanly.
class BookmarkPdfPreviewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void thumbnail_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("page"); // 1-based
        QTest::addColumn<bool>("shown");

        const QString rag = TestHarness::testData("books/joplin-pineapple-rag.pdf");
        QTest::newRow("first page") << rag << qint64(1) << true;
        QTest::newRow("last page") << rag << qint64(4) << true;
        QTest::newRow("page 0") << rag << qint64(0) << false;
        QTest::newRow("past the end") << rag << qint64(5) << false;
        QTest::newRow("missing book")
            << TestHarness::home() + QStringLiteral("/missing.pdf") << qint64(1) << false;
    }

    void thumbnail()
    {
        QFETCH(QString, path);
        QFETCH(qint64, page);
        QFETCH(bool, shown);
        const std::optional<QImage> image = LyrafoldBookmarkPdfPreview::thumbnail(path, page, QSize(60, 80));
        QCOMPARE(image.has_value(), shown);
        if (image)
            QCOMPARE(image->size(), QSize(60, 80));
    }
};

LYRAFOLD_TEST_MAIN(BookmarkPdfPreviewTest)
#include "tst_bookmarkpdfpreview.moc"

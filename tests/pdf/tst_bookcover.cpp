#include "PdfFixtures.h"
#include "TestHarness.h"
#include "core/resources/BundledResources.h"
#include "pdf/render/BookCover.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

// The covers of the grids: the picture shipped for a book wins over its first page, and a first page
// with nothing to show gives no cover (so it is not kept, and is tried again).
class BookCoverTest : public QObject {
    Q_OBJECT

    QString folder() const { return TestHarness::home() + QStringLiteral("/covers"); }

private Q_SLOTS:
    void cleanup() { BundledResources::setRootForTesting({}); }

    void rendersTheCover_data()
    {
        QTest::addColumn<QString>("book"); // "page", "emptyPage", "notPdf", "missing"
        QTest::addColumn<bool>("shippedCover");
        QTest::addColumn<QString>("expected"); // "none", "page", "cover"
        QTest::newRow("the first page") << "page" << false << "page";
        QTest::newRow("a shipped cover before the page") << "page" << true << "cover";
        QTest::newRow("a shipped cover of a missing book") << "missing" << true << "cover";
        QTest::newRow("an empty first page") << "emptyPage" << false << "none";
        QTest::newRow("not a PDF") << "notPdf" << false << "none";
        QTest::newRow("no file") << "missing" << false << "none";
    }

    void rendersTheCover()
    {
        QFETCH(QString, book);
        QFETCH(bool, shippedCover);
        QFETCH(QString, expected);
        QDir(folder()).removeRecursively();
        QDir().mkpath(folder() + "/resources/UI/Covers");
        const QString path = folder() + "/Book.pdf";
        PdfFixtures::Page square;
        square.size = QSizeF(400, 400);
        square.emptyMediaBox = book == "emptyPage";
        if (book == "page" || book == "emptyPage")
            PdfFixtures::write(path, {square});
        else if (book == "notPdf")
            TestHarness::writeFile(path, "not a PDF");
        if (shippedCover) {
            QImage red(50, 100, QImage::Format_RGB32);
            red.fill(Qt::red);
            QVERIFY(red.save(folder() + "/resources/UI/Covers/Book.pdf.png"));
        }
        BundledResources::setRootForTesting(folder() + "/resources");

        const std::optional<QImage> cover = BookCover::render(path, "Book.pdf", QSize(100, 128));
        QCOMPARE(cover.has_value(), expected != "none");
        if (!cover)
            return;
        QCOMPARE(cover->size(), QSize(100, 128));
        // The square page, with its black top-left corner, fills the width between white bands; the
        // narrow cover is red, centred between white margins.
        const QColor middle = cover->pixelColor(50, 64);
        if (expected == "cover") {
            QCOMPARE(middle, QColor(Qt::red));
            QCOMPARE(cover->pixelColor(2, 64), QColor(Qt::white));
        } else {
            QCOMPARE(cover->pixelColor(12, 25), QColor(Qt::black));
            QCOMPARE(cover->pixelColor(75, 100), QColor(Qt::white));
            QCOMPARE(cover->pixelColor(50, 2), QColor(Qt::white));
        }
    }
};

LYRAFOLD_TEST_MAIN_WITH(QGuiApplication, BookCoverTest)
#include "tst_bookcover.moc"

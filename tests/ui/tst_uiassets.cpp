#include "TestHarnessGui.h"
#include "core/resources/BundledResources.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/LyrafoldUIAssets.h"

#include <QDir>
#include <QFontDatabase>
#include <QThread>

// Loading and sizing of interface images, and the fonts that stand in for the serif faces.
class UIAssetsTest : public QObject {
    Q_OBJECT

    QString root() const { return TestHarness::home() + QStringLiteral("/resources"); }

    void writeImage(const QString &relative, const QSize &size, const char *format)
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QDir().mkpath(QFileInfo(root() + QLatin1Char('/') + relative).absolutePath());
        QVERIFY(image.save(root() + QLatin1Char('/') + relative, format));
    }

private Q_SLOTS:
    void cleanup() { BundledResources::setRootForTesting({}); }

    void scaledDownNeverUp_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<qreal>("sourceRatio");
        QTest::addColumn<qreal>("maxSide");
        QTest::addColumn<qreal>("screenRatio");
        QTest::addColumn<QSizeF>("expectedLogical");
        QTest::addColumn<QSize>("expectedPixels");
        QTest::newRow("wide, down") << QSize(200, 100) << 1.0 << 40.0 << 1.0 << QSizeF(40, 20)
                                    << QSize(40, 20);
        QTest::newRow("within, unchanged")
            << QSize(30, 20) << 1.0 << 40.0 << 1.0 << QSizeF(30, 20) << QSize(30, 20);
        QTest::newRow("exactly at the side")
            << QSize(40, 10) << 1.0 << 40.0 << 1.0 << QSizeF(40, 10) << QSize(40, 10);
        QTest::newRow("tall") << QSize(128, 256) << 1.0 << 59.0 << 1.0 << QSizeF(29.5, 59) << QSize(30, 59);
        QTest::newRow("sharp on a 2x screen")
            << QSize(200, 100) << 1.0 << 40.0 << 2.0 << QSizeF(40, 20) << QSize(80, 40);
        QTest::newRow("no pixels invented")
            << QSize(60, 30) << 1.0 << 40.0 << 2.0 << QSizeF(40, 20) << QSize(60, 30);
        QTest::newRow("source already 2x")
            << QSize(128, 128) << 2.0 << 32.0 << 1.0 << QSizeF(32, 32) << QSize(32, 32);
    }

    void scaledDownNeverUp()
    {
        QFETCH(QSize, pixels);
        QFETCH(qreal, sourceRatio);
        QFETCH(qreal, maxSide);
        QFETCH(qreal, screenRatio);
        QFETCH(QSizeF, expectedLogical);
        QFETCH(QSize, expectedPixels);
        QImage source(pixels, QImage::Format_ARGB32);
        source.fill(Qt::blue);
        source.setDevicePixelRatio(sourceRatio);
        const QImage result = LyrafoldUIAssets::scaledDown(source, maxSide, screenRatio);
        QCOMPARE(result.size(), expectedPixels);
        // The longer side is exact; the other is off by at most the rounding to whole pixels.
        const QSizeF logical = result.deviceIndependentSize();
        QCOMPARE(std::max(logical.width(), logical.height()),
                 std::max(expectedLogical.width(), expectedLogical.height()));
        QVERIFY(qAbs(logical.width() - expectedLogical.width()) <= 0.5);
        QVERIFY(qAbs(logical.height() - expectedLogical.height()) <= 0.5);
    }

    // An older file that does not load gives way to the next candidate.
    void firstFileThatLoads()
    {
        TestHarness::writeFile(root() + QStringLiteral("/UI/delete.png"), "not an image");
        writeImage(QStringLiteral("UI/delete.jpg"), QSize(20, 10), "JPG");
        writeImage(QStringLiteral("UI/clear_slot.png"), QSize(50, 50), "PNG");
        BundledResources::setRootForTesting(root());
        QCOMPARE(LyrafoldUIAssets::image(QStringLiteral("clear_slot")).size(), QSize(20, 10));
        QVERIFY(LyrafoldUIAssets::image(QStringLiteral("delete"), 32).isNull() == false);
        QVERIFY(LyrafoldUIAssets::image(QStringLiteral("custom_files")).isNull());
        QVERIFY(LyrafoldUIAssets::image(QStringLiteral("custom_files"), 64).isNull());
    }

    // The playlist PDF loads its icons on a worker thread.
    void shippedImagesLoadOffTheMainThread()
    {
        QSize loaded;
        QThread *worker = QThread::create([&loaded] {
            loaded = LyrafoldUIAssets::image(QStringLiteral("spotify")).size() +
                     LyrafoldUIAssets::image(QStringLiteral("youtube")).size();
        });
        worker->start();
        QVERIFY(worker->wait(TestHarness::hangGuardMs));
        delete worker;
        QCOMPARE(loaded, QSize(256, 256));
        QCOMPARE(LyrafoldUIAssets::image(QStringLiteral("extract_bookmarks"), 64).deviceIndependentSize(),
                 QSizeF(64, 64));
    }

    void symbols()
    {
        QVERIFY(!LyrafoldUIAssets::systemSymbol(QStringLiteral("magnifyingglass")).isNull());
        QVERIFY(!LyrafoldUIAssets::systemSymbol(QStringLiteral("switch.2")).isNull());
        QVERIFY(LyrafoldUIAssets::systemSymbol(QStringLiteral("no.such.symbol")).isNull());
    }

    void serifFallbacks_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("family");
        QTest::newRow("Georgia") << QStringList{"Georgia", "P052"} << "Georgia";
        QTest::newRow("Georgia's stand-in") << QStringList{"Gelasio", "Palatino"} << "Gelasio";
        QTest::newRow("Palatino") << QStringList{"Palatino", "P052"} << "Palatino";
        QTest::newRow("Palatino's stand-in") << QStringList{"P052"} << "P052";
        QTest::newRow("neither") << QStringList{"DejaVu Sans"} << QString();
    }

    void serifFallbacks()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, family);
        const auto filter = [&](const QString &name) { return installed.contains(name); };
        const QFont bold = LyrafoldTheme::playlistCardTitleFontBold(24, filter);
        const QFont regular = LyrafoldTheme::playlistCardTitleFont(24, filter);
        QCOMPARE(bold.pixelSize(), 24);
        QCOMPARE(regular.weight(), QFont::Normal);
        if (family.isEmpty()) {
            const QString system = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
            QCOMPARE(bold.family(), system);
            QCOMPARE(bold.weight(), QFont::DemiBold);
        } else {
            QCOMPARE(bold.family(), family);
            QCOMPARE(regular.family(), family);
            QCOMPARE(bold.weight(), QFont::Bold);
        }
    }
};

LYRAFOLD_TEST_GUI_MAIN(UIAssetsTest)
#include "tst_uiassets.moc"

#include "TestHarness.h"
#include "core/common/AppPaths.h"
#include "core/share/ExportNaming.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

// Export names: the dated stem, the byte limit, and a private folder in which an earlier export is
// replaced without any link being followed.
class ExportNamingTest : public QObject {
    Q_OBJECT

    static QString folder() { return AppPaths::privateTempDir().value_or(QString()); }

private Q_SLOTS:
    void cleanup() { QDir(folder()).removeRecursively(); }

    void stem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stem");
        QTest::newRow("slash and colon") << "Live: Set A/B"
                                         << "Live- Set A-B_2024-03-05";
        QTest::newRow("nothing trimmed") << " Rock/Pop: Live "
                                         << " Rock-Pop- Live _2024-03-05";
        QTest::newRow("empty") << ""
                               << "_2024-03-05";
        QTest::newRow("other marks stay") << "a\\b?*<>|\""
                                          << "a\\b?*<>|\"_2024-03-05";
    }

    void stem()
    {
        QFETCH(QString, name);
        QFETCH(QString, stem);
        QCOMPARE(ExportNaming::datedStem(name, QDate(2024, 3, 5)), stem);
    }

    // Cut to 200 bytes with the suffix kept, never inside a letter with its accent, a surrogate pair
    // or a UTF-8 sequence.
    void fileNameLimit_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("expected");
        const QString e = QStringLiteral("\u00e9");         // 2 bytes
        const QString combined = QStringLiteral("e\u0301"); // 3 bytes, one letter
        const QString clef = QStringLiteral("\U0001D11E");  // 4 bytes, two UTF-16 units
        QTest::newRow("fits") << QString(196, QLatin1Char('a')) << ".txt"
                              << QString(196, QLatin1Char('a')) + ".txt";
        QTest::newRow("ASCII cut") << QString(300, QLatin1Char('a')) << ".html"
                                   << QString(195, QLatin1Char('a')) + ".html";
        QTest::newRow("two-byte letters") << e.repeated(150) << ".txt" << e.repeated(98) + ".txt";
        QTest::newRow("odd room") << e.repeated(150) << ".pdf_" << e.repeated(97) + ".pdf_";
        QTest::newRow("accent stays with its letter")
            << combined.repeated(100) << ".lyf" << combined.repeated(65) + ".lyf";
        QTest::newRow("surrogate pairs") << clef.repeated(60) << "_images" << clef.repeated(48) + "_images";
        QTest::newRow("slash cannot leave the folder") << "../../etc/x"
                                                       << ".txt"
                                                       << "..-..-etc-x.txt";
    }

    void fileNameLimit()
    {
        QFETCH(QString, base);
        QFETCH(QString, suffix);
        QFETCH(QString, expected);
        const QString name = ExportNaming::fileName(base, suffix);
        QCOMPARE(name, expected);
        QVERIFY(name.toUtf8().size() <= ExportNaming::maxFileNameBytes);
    }

    // An earlier export is removed, whatever it is; a link is removed as a link and nothing it points
    // to is touched, also inside a removed folder.
    void oldEntryRemovedWithoutFollowingLinks_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file") << "file";
        QTest::newRow("link to a file") << "link to file";
        QTest::newRow("link to a folder") << "link to folder";
        QTest::newRow("folder holding links") << "folder";
    }

    void oldEntryRemovedWithoutFollowingLinks()
    {
        QFETCH(QString, kind);
        const QString outside = TestHarness::home() + QStringLiteral("/keep");
        TestHarness::writeFile(outside + QStringLiteral("/precious.txt"), "mine");
        const QString target = folder() + QStringLiteral("/Gig_images");
        if (kind == QLatin1String("file")) {
            TestHarness::writeFile(target, "old");
        } else if (kind == QLatin1String("link to file")) {
            QVERIFY(QFile::link(outside + QStringLiteral("/precious.txt"), target));
        } else if (kind == QLatin1String("link to folder")) {
            QVERIFY(QFile::link(outside, target));
        } else {
            TestHarness::writeFile(target + QStringLiteral("/deep/page_0001.jpg"), "jpg");
            QVERIFY(QFile::link(outside, target + QStringLiteral("/deep/escape")));
            QVERIFY(QFile::link(outside + QStringLiteral("/precious.txt"), target + QStringLiteral("/file")));
        }

        const auto path = ExportNaming::exportPath(QStringLiteral("Gig"), QStringLiteral("_images"));
        QCOMPARE(path.value_or(QString()), target);
        struct stat st {};
        QVERIFY(lstat(QFile::encodeName(target).constData(), &st) != 0);
        QCOMPARE(TestHarness::readFile(outside + QStringLiteral("/precious.txt")), QByteArray("mine"));
    }

    void unusableNames()
    {
        QVERIFY(!ExportNaming::exportPath(QString(), QString()));
        QVERIFY(!ExportNaming::exportPath(QStringLiteral(".."), QString()));
    }
};

LYRAFOLD_TEST_MAIN(ExportNamingTest)
#include "tst_exportnaming.moc"

#include "TestHarness.h"
#include "core/annotations/PdfEditCacheFile.h"
#include "core/common/AppPaths.h"
#include "core/storage/StateFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <limits>

namespace {

StrokeRecord redPen()
{
    return StrokeRecord{{{10, 20}, {30.5, 40}}, {1, 0, 0, 1}, 2.5, 1, false};
}

TextRecord note()
{
    return TextRecord{{100, 200}, QStringLiteral("rit. ×2"), {0, 0, 1, 1}, 0.5, 16};
}

const QByteArray stroke = R"({"points":[{"x":1,"y":2}],"color":{"red":1,"green":0,"blue":0,"alpha":1},)"
                          R"("thickness":2,"opacity":1,"isHighlighter":false})";

QByteArray strokesUnder(const QByteArray &key)
{
    return R"({"strokesByPage":{")" + key + R"(":[)" + stroke + R"(]},"textsByPage":{}})";
}

} // namespace

class PdfEditCacheTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHarness::clearUserFiles(); }

    // The exact text a file holds: compact, keys in declaration order, pages as decimal keys.
    void encode()
    {
        PdfEditCacheFile file;
        file.strokesByPage.insert(3, {redPen()});
        file.strokesByPage.insert(-1, {});
        file.textsByPage.insert(0, {note()});
        const auto bytes = PdfEditCacheCodec::encode(file);
        QVERIFY(bytes);
        QCOMPARE(
            *bytes,
            QByteArray(R"({"strokesByPage":{"-1":[],"3":[{"points":[{"x":10,"y":20},{"x":30.5,"y":40}],)"
                       R"("color":{"red":1,"green":0,"blue":0,"alpha":1},"thickness":2.5,"opacity":1,)"
                       R"("isHighlighter":false}]},"textsByPage":{"0":[{"position":{"x":100,"y":200},)"
                       R"("text":"rit. ×2","color":{"red":0,"green":0,"blue":1,"alpha":1},"opacity":0.5,)"
                       R"("fontSize":16}]}})"));
        QCOMPARE(PdfEditCacheCodec::decode(*bytes).value(), file);

        file.textsByPage[0][0].fontSize = std::numeric_limits<double>::infinity();
        QVERIFY(!PdfEditCacheCodec::encode(file));
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QList<qint64>>("pages"); // the pages with strokes; empty with ok false
        QTest::addColumn<bool>("ok");

        using Pages = QList<qint64>;
        QTest::newRow("key 3") << strokesUnder("3") << Pages{3} << true;
        QTest::newRow("key +3") << strokesUnder("+3") << Pages{3} << true;
        QTest::newRow("key 03") << strokesUnder("03") << Pages{3} << true;
        QTest::newRow("key -1 kept") << strokesUnder("-1") << Pages{-1} << true;
        QTest::newRow("key 3.0 skipped") << strokesUnder("3.0") << Pages{} << true;
        QTest::newRow("key three skipped") << strokesUnder("three") << Pages{} << true;
        QTest::newRow("key with a blank skipped") << strokesUnder(" 3") << Pages{} << true;
        QTest::newRow("empty key skipped") << strokesUnder("") << Pages{} << true;
        QTest::newRow("key past 64 bits skipped") << strokesUnder("9223372036854775808") << Pages{} << true;
        QTest::newRow("keys in any order")
            << QByteArray(R"({"textsByPage":{},"strokesByPage":{"2":[)" + stroke + "]}}") << Pages{2} << true;
        QTest::newRow("no textsByPage")
            << QByteArray(R"({"strokesByPage":{"2":[)" + stroke + "]}}") << Pages{} << false;
        QTest::newRow("isHighlighter 0")
            << QByteArray(strokesUnder("1")).replace("false", "0") << Pages{} << false;
        QTest::newRow("thickness as text")
            << QByteArray(strokesUnder("1")).replace(R"("thickness":2)", R"("thickness":"2")") << Pages{}
            << false;
        QTest::newRow("colour without alpha")
            << QByteArray(strokesUnder("1")).replace(R"(,"alpha":1)", "") << Pages{} << false;
        QTest::newRow("broken list under a skipped key")
            << QByteArray(strokesUnder("x")).replace(R"("opacity":1)", R"("opacity":null)") << Pages{}
            << false;
        QTest::newRow("not JSON") << QByteArray("{\"strokesByPage\":") << Pages{} << false;
        QTest::newRow("an array") << QByteArray("[]") << Pages{} << false;
    }

    void decode()
    {
        QFETCH(QByteArray, json);
        QFETCH(QList<qint64>, pages);
        QFETCH(bool, ok);
        const Result<PdfEditCacheFile> file = PdfEditCacheCodec::decode(json);
        QCOMPARE(file.ok(), ok);
        if (ok)
            QCOMPARE(file->strokesByPage.keys(), pages);
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");

        QTest::newRow("slash becomes underscore") << "/Books/a?.pdf"
                                                  << "L0Jvb2tzL2E_LnBkZg.json";
        QTest::newRow("plus becomes minus") << "/Books/a>.pdf"
                                            << "L0Jvb2tzL2E-LnBkZg.json";
        // The longest whose name leaves room for the longer names a save of it goes through.
        const QString longest = QLatin1Char('/') + QString(164, QLatin1Char('b'));
        QTest::newRow("165 bytes: Base64 of 225")
            << longest
            << QString::fromLatin1(longest.toUtf8().toBase64(QByteArray::Base64UrlEncoding |
                                                             QByteArray::OmitTrailingEquals)) +
                   ".json";
        const QString tooLong = longest + QLatin1Char('b');
        QTest::newRow("166 bytes: SHA-256")
            << tooLong
            << QString::fromLatin1(
                   QCryptographicHash::hash(tooLong.toUtf8(), QCryptographicHash::Sha256).toHex()) +
                   ".json";
    }

    void fileName()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(PdfEditCacheCodec::fileName(path), name);
        QVERIFY(PdfEditCacheCodec::fileName(path).toUtf8().size() <= 255);
        QCOMPARE(PdfEditCacheCodec::filePath(path), AppPaths::annotationCacheDir() + QLatin1Char('/') + name);
    }

    void saveAndLoad()
    {
        const QString book = QStringLiteral("/Books/Standards.pdf");
        const QString cachePath = *PdfEditCacheCodec::filePath(book);
        QCOMPARE(PdfEditCacheCodec::load(book).status, PdfEditCacheCodec::LoadStatus::Missing);

        PdfEditCacheFile file;
        file.strokesByPage.insert(0, {redPen()});
        file.strokesByPage.insert(1, {});
        QVERIFY(PdfEditCacheCodec::save(book, file));
        PdfEditCacheCodec::LoadResult loaded = PdfEditCacheCodec::load(book);
        QCOMPARE(loaded.status, PdfEditCacheCodec::LoadStatus::Loaded);
        QCOMPARE(loaded.file, file);

        // Two forms of one path keep two files.
        QVERIFY(PdfEditCacheCodec::save(QStringLiteral("/books/standards.pdf"), file));
        QCOMPARE(QDir(AppPaths::annotationCacheDir()).entryList(QDir::Files).size(), 2);

        // A value that cannot be written keeps the previous file.
        PdfEditCacheFile broken = file;
        broken.strokesByPage[0][0].thickness = std::numeric_limits<double>::quiet_NaN();
        QVERIFY(!PdfEditCacheCodec::save(book, broken));
        QCOMPARE(PdfEditCacheCodec::load(book).file, file);

        // A full disk keeps the previous file whole, and says so; until the file is written, what was
        // meant for it is read in its place.
        PdfEditCacheFile more = file;
        more.textsByPage.insert(2, {note(), note()});
        {
            TestHarness::FileSizeLimit fullDisk(100);
            QVERIFY(!PdfEditCacheCodec::save(book, more));
        }
        QCOMPARE(PdfEditCacheCodec::decode(TestHarness::readFile(cachePath)).value(), file);
        QCOMPARE(PdfEditCacheCodec::load(book).file, more);

        // Only empty lists left: the file goes.
        file.strokesByPage[0].clear();
        QVERIFY(PdfEditCacheCodec::save(book, file));
        QVERIFY(!QFile::exists(cachePath));
        QVERIFY(PdfEditCacheCodec::save(book, {}));

        // An undecodable file is reported and left in place.
        TestHarness::writeFile(cachePath, "{\"strokesByPage\":{}}");
        loaded = PdfEditCacheCodec::load(book);
        QCOMPARE(loaded.status, PdfEditCacheCodec::LoadStatus::Undecodable);
        QCOMPARE(loaded.file, PdfEditCacheFile());
        QVERIFY(QFile::exists(cachePath));

        QVERIFY(!PdfEditCacheCodec::save(QString(), file));
    }

    // A path whose Base64 name would be too long for the file system, or would leave no room for the
    // names a save or a set-aside give beside it, still keeps its annotations, and they are set aside
    // once they no longer read; one an earlier version wrote under such a name is still found.
    void longPath_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<bool>("earlier"); // written under its Base64 name by an earlier version
        const QString books = QStringLiteral("/Books/");
        QTest::newRow("a name longer than the file system takes")
            << books + QString(300, QChar(0x00E9)) + QStringLiteral(".pdf") << false;
        // 187 bytes, a name of 255: its save's temporary name is 272.
        QTest::newRow("a name the file system takes, its save's names not")
            << books + QString(176, QLatin1Char('b')) + QStringLiteral(".pdf") << false;
        // 170 bytes, a name of 232: its set-aside name is 259.
        QTest::newRow("a name its save takes, its set-aside not")
            << books + QString(159, QLatin1Char('b')) + QStringLiteral(".pdf") << false;
        QTest::newRow("the same, written under that name by an earlier version")
            << books + QString(159, QLatin1Char('b')) + QStringLiteral(".pdf") << true;
    }

    void longPath()
    {
        QFETCH(QString, book);
        QFETCH(bool, earlier);
        PdfEditCacheFile file;
        file.textsByPage.insert(4, {note()});
        if (earlier) {
            const QString name = QString::fromLatin1(book.toUtf8().toBase64(QByteArray::Base64UrlEncoding |
                                                                            QByteArray::OmitTrailingEquals)) +
                                 QStringLiteral(".json");
            TestHarness::writeFile(AppPaths::annotationCacheDir() + QLatin1Char('/') + name,
                                   *PdfEditCacheCodec::encode(file));
            QCOMPARE(PdfEditCacheCodec::filePath(book),
                     AppPaths::annotationCacheDir() + QLatin1Char('/') + name);
        } else {
            QVERIFY(PdfEditCacheCodec::save(book, file));
        }
        QCOMPARE(PdfEditCacheCodec::load(book).file, file);
        if (earlier)
            return;
        const QString path = *PdfEditCacheCodec::filePath(book);
        TestHarness::writeFile(path, "{\"strokesByPage\":");
        QCOMPARE(PdfEditCacheCodec::load(book).status, PdfEditCacheCodec::LoadStatus::Undecodable);
        QVERIFY(StateFile::setAside(path));
        QVERIFY(!QFile::exists(path));
    }
};

LYRAFOLD_TEST_MAIN(PdfEditCacheTest)
#include "tst_pdfeditcache.moc"

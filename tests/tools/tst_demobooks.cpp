#include "TestHarness.h"
#include "core/resources/BundledResources.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

// The demo songbooks the build draws, and the records the generator writes for them: every record must
// lead to a page of its book, or the built-in list opens the wrong song.
class DemoBooksTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QJsonArray m_bookmarks;
    QJsonArray m_metadata;

    static bool runTool(const QStringList &arguments)
    {
        QProcess tool;
        tool.start(QStringLiteral(LYRAFOLD_DEMO_BOOKS_TOOL), arguments);
        return tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit &&
               tool.exitCode() == 0;
    }

    static QJsonArray readArray(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).array();
    }

    static QByteArray readBook(const QString &fileName)
    {
        return TestHarness::readFile(QStringLiteral(LYRAFOLD_DEMO_BOOKS_DIR "/") + fileName);
    }

    // cairo writes each page object uncompressed, so counting them gives the page count without a PDF
    // library.
    static int pageObjects(const QByteArray &pdf)
    {
        static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![A-Za-z])"));
        return int(QString::fromLatin1(pdf).count(page));
    }

    QMap<QString, QJsonArray> recordsByBook() const
    {
        QMap<QString, QJsonArray> books;
        for (const QJsonValue &record : m_bookmarks)
            books[record[QLatin1String("PdfFileName")].toString()].append(record);
        return books;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(runTool({QStringLiteral("--bookmarks"), m_work.filePath(QStringLiteral("bookmarks.json")),
                         QStringLiteral("--metadata"), m_work.filePath(QStringLiteral("metadata.json"))}));
        m_bookmarks = readArray(m_work.filePath(QStringLiteral("bookmarks.json")));
        m_metadata = readArray(m_work.filePath(QStringLiteral("metadata.json")));
        QVERIFY(!m_bookmarks.isEmpty());
        QCOMPARE(m_metadata.size(), m_bookmarks.size());
    }

    void recordsPointIntoTheirBooks()
    {
        const auto books = recordsByBook();
        QCOMPARE(books.size(), 3);
        for (auto book = books.begin(); book != books.end(); ++book) {
            const QByteArray pdf = readBook(book.key());
            QVERIFY2(pdf.startsWith("%PDF-"), qPrintable(book.key()));
            QVERIFY2(pdf.trimmed().endsWith("%%EOF"), qPrintable(book.key()));
            const int pages = pageObjects(pdf);
            qint64 nextFree = 1;
            for (const QJsonValue &record : book.value()) {
                const QString where =
                    book.key() + QStringLiteral(": ") + record[QLatin1String("Title")].toString();
                const qint64 first = record[QLatin1String("PageNumber")].toInteger();
                const qint64 span = record[QLatin1String("PageSpan")].toInteger();
                QCOMPARE(record[QLatin1String("TotalPages")].toInteger(), qint64(pages));
                QCOMPARE(record[QLatin1String("PdfFilePath")].toString(),
                         QStringLiteral("/home/user/Documents/Fakebooks/") + book.key());
                QVERIFY2(span >= 1, qPrintable(where));
                QVERIFY2(first >= nextFree, qPrintable(where + QStringLiteral(" overlaps the song before")));
                QVERIFY2(first + span - 1 <= pages,
                         qPrintable(where + QStringLiteral(" runs past the last page")));
                nextFree = first + span;
            }
        }
    }

    // The build's books were drawn by an earlier run of the same tool.
    void sameBooksOnEveryRun()
    {
        QVERIFY(runTool({QStringLiteral("--pdf-dir"), m_work.filePath(QStringLiteral("books"))}));
        const auto books = recordsByBook();
        for (const QString &fileName : books.keys()) {
            QVERIFY2(TestHarness::readFile(m_work.filePath(QStringLiteral("books/") + fileName)) ==
                         readBook(fileName),
                     qPrintable(fileName));
        }
        QCOMPARE(QDir(m_work.filePath(QStringLiteral("books"))).entryList(QDir::Files).size(), books.size());
    }

    void builtInListsHoldTheDemoSongs_data()
    {
        QTest::addColumn<QString>("baseName");
        QTest::newRow("bookmark list") << QStringLiteral("DefaultBookmarks");
        QTest::newRow("title metadata") << QStringLiteral("default_metadata");
    }

    // The committed lists are written by scripts/make-bundled-resources.py; when the songs change, the
    // lists must be written again.
    void builtInListsHoldTheDemoSongs()
    {
        QFETCH(QString, baseName);
        const auto path = BundledResources::find(QStringLiteral("Bundled"), baseName, QStringLiteral("json"));
        QVERIFY(path);
        const QJsonArray builtIn = readArray(*path);
        const QJsonArray &expected = baseName == QLatin1String("DefaultBookmarks") ? m_bookmarks : m_metadata;
        QVERIFY(builtIn.size() >= expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QVERIFY2(builtIn[i] == expected[i],
                     qPrintable(expected[i][QLatin1String("Title")].toString() +
                                QStringLiteral(" differs: run scripts/make-bundled-resources.py")));
        }
    }
};

LYRAFOLD_TEST_MAIN(DemoBooksTest)
#include "tst_demobooks.moc"

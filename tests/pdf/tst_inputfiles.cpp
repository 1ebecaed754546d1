#include "TestHarness.h"
#include "core/imports/BookmarkImport.h"
#include "core/metadata/MetadataImport.h"
#include "core/playlist/LyfPlaylistCodec.h"
#include "pdf/engine/PdfDocument.h"
#include "pdf/import/PictureFile.h"

#include <QFile>

#include <chrono>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Files handed over by the user or another program that are not regular files: a pipe would hold the
// reading thread until someone wrote to it, and quitting would wait for that thread for ever.
namespace {

enum class Reader { playlistFile, picture, metadata, pdf, bookmarks };

// The reader's refusal, or nothing when it took the file.
std::optional<QString> refusal(Reader reader, const QString &path)
{
    const auto message = [](const auto &result) -> std::optional<QString> {
        if (result)
            return std::nullopt;
        return result.error().message;
    };
    switch (reader) {
    case Reader::playlistFile:
        return message(LyfPlaylistCodec::readBundleFile(path));
    case Reader::picture:
        return message(PictureFile::load(path));
    case Reader::metadata:
        return message(MetadataImport::readFile(path));
    case Reader::pdf:
        return message(PdfDocument::open(path));
    case Reader::bookmarks:
        return message(BookmarkImport::readFile(path));
    }
    return std::nullopt;
}

} // namespace

class InputFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pipesAreRefusedAtOnce_data()
    {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("link"); // handed over through a symbolic link to the pipe
        QTest::addColumn<QString>("message");
        const QString reason = QStringLiteral("Not an ordinary file but a folder, a pipe or a device");
        QTest::newRow("playlist file") << int(Reader::playlistFile) << "set.lyf" << false
                                       << "Could not read the file \u201Cset.lyf\u201D: " + reason;
        QTest::newRow("picture") << int(Reader::picture) << "photo.jpg" << false << reason;
        QTest::newRow("picture through a link") << int(Reader::picture) << "photo.png" << true << reason;
        QTest::newRow("metadata CSV")
            << int(Reader::metadata) << "meta.csv" << false << "The file meta.csv cannot be read: " + reason;
        QTest::newRow("metadata JSON") << int(Reader::metadata) << "meta.json" << false
                                       << "The file meta.json cannot be read: " + reason;
        QTest::newRow("PDF") << int(Reader::pdf) << "book.pdf" << false
                             << "The file " + TestHarness::home() + "/book.pdf cannot be read.";
    }

    void pipesAreRefusedAtOnce()
    {
        QFETCH(int, reader);
        QFETCH(QString, name);
        QFETCH(bool, link);
        QFETCH(QString, message);
        const QString path = TestHarness::home() + QLatin1Char('/') + name;
        const QString pipe = link ? TestHarness::home() + QStringLiteral("/pipe") : path;
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        if (link)
            QVERIFY(QFile::link(pipe, path));

        auto read = std::async(std::launch::async, [reader, path] { return refusal(Reader(reader), path); });
        if (read.wait_for(TestHarness::hangGuard) != std::future_status::ready) {
            // A writer that comes and goes lets the blocked reader go on, so that the test can end.
            const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
            read.wait();
            QFAIL("the reader waited on the pipe");
        }
        const std::optional<QString> refused = read.get();
        QVERIFY(refused);
        QCOMPARE(*refused, message);
    }

    // A file larger than its bound is refused from its size alone; the files here are sparse, so
    // reading one would take its whole size in memory.
    void oversizedFilesAreRefusedUnread_data()
    {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("message");
        QTest::newRow("bookmark JSON")
            << int(Reader::bookmarks) << "slot.json" << (qint64(1) << 30) + 1
            << BookmarkImport::invalidFileText() + " The file is too large: 1025 MB, at most 1024 MB.";
        QTest::newRow("metadata CSV")
            << int(Reader::metadata) << "big-meta.csv" << (qint64(512) << 20) + 1
            << "The file big-meta.csv is too large to import: 513 MB, at most 512 MB.";
    }

    void oversizedFilesAreRefusedUnread()
    {
        QFETCH(int, reader);
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        const QString path = TestHarness::home() + QLatin1Char('/') + name;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
        file.close();
        const std::optional<QString> refused = refusal(Reader(reader), path);
        QVERIFY(refused);
        QCOMPARE(*refused, message);
    }
};

LYRAFOLD_TEST_MAIN(InputFilesTest)
#include "tst_inputfiles.moc"

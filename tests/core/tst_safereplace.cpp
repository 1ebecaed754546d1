#include "core/storage/SafeReplace.h"

#include "TestHarness.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The real file system, except that the nth call of one operation fails, and exchange may be missing.
class FailingOperations : public FileOperations {
public:
    QString failing;
    int failingCall = 1;
    bool exchangeMissing = false;

    bool copyFile(const QString &from, const QString &to, QString &reason) override
    {
        return !fails("copyFile", reason) && FileOperations::copyFile(from, to, reason);
    }
    bool sync(const QString &path, QString &reason) override
    {
        return !fails("sync", reason) && FileOperations::sync(path, reason);
    }
    bool makeFolder(const QString &path, QString &reason) override
    {
        return !fails("makeFolder", reason) && FileOperations::makeFolder(path, reason);
    }
    bool rename(const QString &from, const QString &to, QString &reason) override
    {
        return !fails("rename", reason) && FileOperations::rename(from, to, reason);
    }
    Exchange exchange(const QString &first, const QString &second, QString &reason) override
    {
        if (exchangeMissing)
            return Exchange::unsupported;
        if (fails("exchange", reason))
            return Exchange::failed;
        return FileOperations::exchange(first, second, reason);
    }

private:
    bool fails(const char *operation, QString &reason)
    {
        if (failing != QLatin1String(operation) || ++m_calls[failing] != failingCall)
            return false;
        reason = QStringLiteral("No space left on device");
        return true;
    }

    QMap<QString, int> m_calls;
};

// Every file below path (or the file itself) by its relative path, with its bytes.
QMap<QString, QByteArray> contents(const QString &path)
{
    QMap<QString, QByteArray> files;
    if (QFileInfo(path).isFile()) {
        files.insert(QString(), TestHarness::readFile(path));
        return files;
    }
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        files.insert(QDir(path).relativeFilePath(file), TestHarness::readFile(file));
    }
    return files;
}

void makeEntry(const QString &path, const QString &kind, const QByteArray &tag)
{
    if (kind == QLatin1String("file")) {
        TestHarness::writeFile(path, tag);
    } else if (kind == QLatin1String("folder")) {
        TestHarness::writeFile(path + QStringLiteral("/page_0001.jpg"), tag + "-1");
        TestHarness::writeFile(path + QStringLiteral("/sub/page_0002.jpg"), tag + "-2");
        TestHarness::writeFile(path + QStringLiteral("/") + QString::fromLatin1(tag) + QStringLiteral(".jpg"),
                               tag);
    }
}

} // namespace

class SafeReplaceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void replacesWithoutLoss_data();
    void replacesWithoutLoss();
    void refuses_data();
    void refuses();
    void replacesALinkNotItsTarget();
};

void SafeReplaceTest::replacesWithoutLoss_data()
{
    QTest::addColumn<QString>("source");   // file or folder
    QTest::addColumn<QString>("existing"); // none, file or folder at the destination
    QTest::addColumn<QString>("failing");  // the operation that fails, if any
    QTest::addColumn<int>("failingCall");
    QTest::addColumn<bool>("exchangeMissing");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("saved");

    QTest::newRow("new file") << "file"
                              << "none"
                              << "" << 0 << false << false << true;
    QTest::newRow("file over file") << "file"
                                    << "file"
                                    << "" << 0 << false << false << true;
    QTest::newRow("folder over folder") << "folder"
                                        << "folder"
                                        << "" << 0 << false << false << true;
    QTest::newRow("new folder") << "folder"
                                << "none"
                                << "" << 0 << false << false << true;
    QTest::newRow("file over folder") << "file"
                                      << "folder"
                                      << "" << 0 << false << false << true;
    QTest::newRow("folder over file") << "folder"
                                      << "file"
                                      << "" << 0 << false << false << true;
    QTest::newRow("folder over folder, no exchange") << "folder"
                                                     << "folder"
                                                     << "" << 0 << true << false << true;

    QTest::newRow("file copy fails") << "file"
                                     << "file"
                                     << "copyFile" << 1 << false << false << false;
    QTest::newRow("an image copy fails") << "folder"
                                         << "folder"
                                         << "copyFile" << 2 << false << false << false;
    QTest::newRow("sub-folder fails") << "folder"
                                      << "folder"
                                      << "makeFolder" << 2 << false << false << false;
    QTest::newRow("flush fails") << "folder"
                                 << "folder"
                                 << "sync" << 1 << false << false << false;
    QTest::newRow("rename over file fails") << "file"
                                            << "file"
                                            << "rename" << 1 << false << false << false;
    QTest::newRow("new file cannot move in") << "file"
                                             << "none"
                                             << "rename" << 1 << false << false << false;
    QTest::newRow("exchange fails") << "folder"
                                    << "folder"
                                    << "exchange" << 1 << false << false << false;
    QTest::newRow("old cannot move aside") << "folder"
                                           << "folder"
                                           << "rename" << 1 << true << false << false;
    QTest::newRow("new cannot move in, old back") << "folder"
                                                  << "folder"
                                                  << "rename" << 2 << true << false << false;
    QTest::newRow("cancelled") << "folder"
                               << "folder"
                               << "" << 0 << false << true << false;
}

void SafeReplaceTest::replacesWithoutLoss()
{
    QFETCH(QString, source);
    QFETCH(QString, existing);
    QFETCH(QString, failing);
    QFETCH(int, failingCall);
    QFETCH(bool, exchangeMissing);
    QFETCH(bool, cancel);
    QFETCH(bool, saved);

    QTemporaryDir exports;
    QTemporaryDir chosen;
    const QString from = exports.filePath(QStringLiteral("Set_2024-05-01"));
    const QString to = chosen.filePath(QStringLiteral("Set_2024-05-01"));
    makeEntry(from, source, "new");
    makeEntry(to, existing, "old");
    TestHarness::writeFile(chosen.filePath(QStringLiteral("neighbour.txt")), "untouched");
    const QMap<QString, QByteArray> newContents = contents(from);
    const QMap<QString, QByteArray> oldContents = contents(to);

    FailingOperations operations;
    operations.failing = failing;
    operations.failingCall = failingCall;
    operations.exchangeMissing = exchangeMissing;
    BuildProgress progress;
    if (cancel)
        progress.cancel();
    const Result<bool> result = SafeReplace::replace(from, to, operations, &progress);

    QCOMPARE(result.ok(), saved);
    if (!saved)
        QVERIFY(!result.error().message.isEmpty());
    QCOMPARE(result.error().code, cancel ? SafeReplace::cancelledCode : 0);
    QCOMPARE(contents(to), saved ? newContents : oldContents);
    QCOMPARE(contents(from), newContents);
    // Nothing temporary is left beside the destination.
    QStringList expected{QStringLiteral("neighbour.txt")};
    if (saved || existing != QLatin1String("none"))
        expected.prepend(QStringLiteral("Set_2024-05-01"));
    QCOMPARE(
        QDir(chosen.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
        expected);
}

void SafeReplaceTest::refuses_data()
{
    QTest::addColumn<QString>("source");      // below the temporary folder
    QTest::addColumn<QString>("destination"); // the same
    QTest::addColumn<QString>("reason");      // a part of the message

    QTest::newRow("itself") << "exports/Set.pdf"
                            << "exports/Set.pdf"
                            << "over itself";
    QTest::newRow("itself through ..") << "exports/Set.pdf"
                                       << "exports/sub/../Set.pdf"
                                       << "over itself";
    QTest::newRow("inside itself") << "exports/Set_images"
                                   << "exports/Set_images/Set_images"
                                   << "over itself";
    QTest::newRow("the folder holding it") << "exports/Set_images/page_0001.jpg"
                                           << "exports/Set_images"
                                           << "holds it";
    QTest::newRow("source gone") << "exports/Gone.pdf"
                                 << "chosen/Gone.pdf"
                                 << "no longer exists";
    QTest::newRow("folder gone") << "exports/Set.pdf"
                                 << "missing/Set.pdf"
                                 << "does not exist";
}

void SafeReplaceTest::refuses()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, reason);

    QTemporaryDir root;
    TestHarness::writeFile(root.filePath(QStringLiteral("exports/Set.pdf")), "pdf");
    TestHarness::writeFile(root.filePath(QStringLiteral("exports/Set_images/page_0001.jpg")), "jpg");
    QDir(root.path()).mkpath(QStringLiteral("exports/sub"));
    QDir(root.path()).mkpath(QStringLiteral("chosen"));
    const QMap<QString, QByteArray> before = contents(root.path());

    const Result<bool> result = SafeReplace::replace(root.filePath(source), root.filePath(destination));

    QVERIFY(!result.ok());
    QVERIFY2(result.error().message.contains(reason), qPrintable(result.error().message));
    QCOMPARE(contents(root.path()), before);
}

// A destination that is a link to a folder elsewhere: the link is replaced, the folder it points to is
// never emptied.
void SafeReplaceTest::replacesALinkNotItsTarget()
{
    QTemporaryDir root;
    makeEntry(root.filePath(QStringLiteral("exports/Set_images")), QStringLiteral("folder"), "new");
    makeEntry(root.filePath(QStringLiteral("precious")), QStringLiteral("folder"), "old");
    QDir(root.path()).mkpath(QStringLiteral("chosen"));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("precious")),
                        root.filePath(QStringLiteral("chosen/Set_images"))));
    const QMap<QString, QByteArray> precious = contents(root.filePath(QStringLiteral("precious")));

    QVERIFY(SafeReplace::replace(root.filePath(QStringLiteral("exports/Set_images")),
                                 root.filePath(QStringLiteral("chosen/Set_images")))
                .ok());

    QVERIFY(!QFileInfo(root.filePath(QStringLiteral("chosen/Set_images"))).isSymLink());
    QCOMPARE(contents(root.filePath(QStringLiteral("chosen/Set_images"))),
             contents(root.filePath(QStringLiteral("exports/Set_images"))));
    QCOMPARE(contents(root.filePath(QStringLiteral("precious"))), precious);
}

LYRAFOLD_TEST_MAIN(SafeReplaceTest)
#include "tst_safereplace.moc"

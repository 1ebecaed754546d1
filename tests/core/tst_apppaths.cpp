#include "TestHarness.h"
#include "core/common/AppPaths.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

// The private folder for export files: other users must not read what we share, nor redirect it.
class AppPathsTest : public QObject {
    Q_OBJECT

    QString expected() const
    {
        return QDir::tempPath() + QStringLiteral("/Lyrafold-") + QString::number(getuid());
    }

    static mode_t modeOf(const QString &path)
    {
        struct stat st {};
        lstat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 0777;
    }

private Q_SLOTS:
    void cleanup()
    {
        QFile::remove(expected());
        QDir(expected()).removeRecursively();
    }

    void createdPrivate()
    {
        const auto dir = AppPaths::privateTempDir();
        QVERIFY(dir);
        QCOMPARE(*dir, expected());
        QCOMPARE(modeOf(*dir), mode_t(0700));
    }

    void openFolderIsClosed()
    {
        QVERIFY(QDir().mkpath(expected()));
        chmod(QFile::encodeName(expected()).constData(), 0777);
        QCOMPARE(AppPaths::privateTempDir().value_or(QString()), expected());
        QCOMPARE(modeOf(expected()), mode_t(0700));
    }

    void plantedLinkIsRefused_data()
    {
        QTest::addColumn<bool>("toFolder");
        QTest::newRow("link to a folder") << true;
        QTest::newRow("link to a file") << false;
    }

    void plantedLinkIsRefused()
    {
        QFETCH(bool, toFolder);
        const QString target =
            TestHarness::home() + (toFolder ? QStringLiteral("/elsewhere") : QStringLiteral("/file"));
        if (toFolder)
            QVERIFY(QDir().mkpath(target));
        else
            TestHarness::writeFile(target, "x");
        QVERIFY(QFile::link(target, expected()));
        QVERIFY(!AppPaths::privateTempDir());
    }
};

LYRAFOLD_TEST_MAIN(AppPathsTest)
#include "tst_apppaths.moc"

#include "TestHarness.h"
#include "core/common/AppPaths.h"
#include "core/common/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>

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
    // While the settings file holds a token, only its owner can read it, also when an earlier version
    // left it readable (made private at start).
    void settingsFileIsPrivateWithAToken_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("leftReadable");
        QTest::addColumn<mode_t>("mode");
        QTest::newRow("Discogs token") << AppSettings::discogsUserTokenKey << false << mode_t(0600);
        QTest::newRow("recognition token") << AppSettings::recognitionTokenKey << false << mode_t(0600);
        QTest::newRow("token left readable") << AppSettings::discogsUserTokenKey << true << mode_t(0600);
        QTest::newRow("no token") << AppSettings::uiLanguageKey << false << mode_t(0644);
        QTest::newRow("no token left readable") << AppSettings::uiLanguageKey << true << mode_t(0644);
    }

    void settingsFileIsPrivateWithAToken()
    {
        QFETCH(QString, key);
        QFETCH(bool, leftReadable);
        QFETCH(mode_t, mode);
        const mode_t savedMask = ::umask(022);
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Lyrafold", "Lyrafold");
        const QString file = settings.fileName();
        QFile::remove(file);
        if (leftReadable) {
            settings.setValue(key, "abc");
            settings.sync();
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                    QFile::ReadOther));
            AppSettings::keepTokensPrivate();
        } else {
            AppSettings::setValue(key, "abc");
        }
        ::umask(savedMask);
        QCOMPARE(modeOf(file), mode);
        QCOMPARE(AppSettings::stringValue(key), QStringLiteral("abc"));
    }

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

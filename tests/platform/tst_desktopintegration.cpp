#include "TestHarness.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

// Installs into a fresh prefix and looks at it the way a desktop does: the launcher entry must be
// valid and playlist files of any letter case must be recognised as ours.
class DesktopIntegrationTest : public QObject {
    Q_OBJECT

    QString m_prefix;

    static QString run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return QStringLiteral("did not finish: ") + program;
        if (process.exitCode() != 0)
            return QString::fromLocal8Bit(process.readAll());
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_prefix = TestHarness::home() + QStringLiteral("/prefix");
        QCOMPARE(run(QStringLiteral(CMAKE_COMMAND), {"--install", BUILD_DIR, "--prefix", m_prefix}),
                 QString());
        const QString updateMime = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
        QVERIFY2(!updateMime.isEmpty(), "update-mime-database (shared-mime-info) is missing");
        QCOMPARE(run(updateMime, {m_prefix + QStringLiteral("/share/mime")}), QString());
        // Only the installed type database, before the first lookup reads any.
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_prefix + QStringLiteral("/share")));
    }

    void installedInXdgPlaces_data()
    {
        QTest::addColumn<QString>("path");
        for (const char *path :
             {"bin/lyrafold", "share/applications/lyrafold.desktop", "share/mime/packages/lyrafold.xml",
              "share/icons/hicolor/scalable/apps/lyrafold.svg", "share/icons/hicolor/48x48/apps/lyrafold.png",
              "share/icons/hicolor/256x256/apps/lyrafold.png"})
            QTest::newRow(path) << QString::fromLatin1(path);
    }

    void installedInXdgPlaces()
    {
        QFETCH(QString, path);
        QVERIFY(QFileInfo(m_prefix + QLatin1Char('/') + path).isFile());
    }

    void launcherEntryIsValid()
    {
        const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        QVERIFY2(!validate.isEmpty(), "desktop-file-validate (desktop-file-utils) is missing");
        QCOMPARE(run(validate, {m_prefix + QStringLiteral("/share/applications/lyrafold.desktop")}),
                 QString());
    }

    void playlistFilesAreRecognised_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("ours");
        QTest::newRow("lower case") << QStringLiteral("set.lyf") << true;
        QTest::newRow("upper case") << QStringLiteral("SET.LYF") << true;
        QTest::newRow("mixed case") << QStringLiteral("Sunday Set.Lyf") << true;
        QTest::newRow("another extension") << QStringLiteral("set.lyf.bak") << false;
    }

    void playlistFilesAreRecognised()
    {
        QFETCH(QString, name);
        QFETCH(bool, ours);
        const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        QCOMPARE(type.name() == QLatin1String("application/x-lyrafold-playlist"), ours);
    }
};

LYRAFOLD_TEST_MAIN(DesktopIntegrationTest)
#include "tst_desktopintegration.moc"

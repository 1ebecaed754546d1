#include "OpenedUrls.h"
#include "PrivateBus.h"
#include "TestHarnessGui.h"
#include "platform/share/ShareMenuService.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QDir>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

using ShareMenuService::ShareChoice;

// Stands in for the desktop's file manager on a bus of the test's own.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown = uris; }
};

class ShareMenuServiceTest : public QObject {
    Q_OBJECT

    PrivateBus m_bus;
    FakeFileManager m_fileManager;
    OpenedUrls m_opened;

    QString file(const QString &name)
    {
        const QString path = TestHarness::home() + QStringLiteral("/Exports/") + name;
        TestHarness::writeFile(path, "%PDF-1.4\n");
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_bus.start(TestHarness::sessionBusSocket());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_opened, "open");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        m_bus.stop();
    }

    void init() { m_opened.urls.clear(); }

    void choices_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("mailerInstalled");
        QTest::addColumn<QList<ShareChoice>>("expected");
        const QList<ShareChoice> all{ShareChoice::ShowInFolder, ShareChoice::Copy, ShareChoice::Email};
        const QList<ShareChoice> noMail{ShareChoice::ShowInFolder, ShareChoice::Copy};
        QTest::newRow("files, mailer") << QStringList{"a.pdf", "b c.pdf"} << true << all;
        QTest::newRow("files, no mailer") << QStringList{"a.pdf"} << false << noMail;
        QTest::newRow("a folder cannot be attached") << QStringList{"a.pdf", "."} << true << noMail;
        QTest::newRow("nothing to share") << QStringList{} << true << QList<ShareChoice>{};
    }

    void choices()
    {
        QFETCH(QStringList, items);
        QFETCH(bool, mailerInstalled);
        QFETCH(QList<ShareChoice>, expected);
        QList<QUrl> urls;
        for (const QString &item : items)
            urls << QUrl::fromLocalFile(item == QStringLiteral(".") ? TestHarness::home() : file(item));
        QStringList asked;
        const auto finder = [&](const QString &program) {
            asked << program;
            return mailerInstalled ? QStringLiteral("/usr/bin/") + program : QString();
        };
        QCOMPARE(ShareMenuService::choices(urls, finder), expected);
        if (expected.contains(ShareChoice::Email))
            QCOMPARE(asked, QStringList{QStringLiteral("xdg-email")});
    }

    void clipboardHoldsTheFiles()
    {
        const QList<QUrl> urls{QUrl::fromLocalFile(file(QStringLiteral("Autumn Leaves.pdf"))),
                               QUrl::fromLocalFile(file(QStringLiteral("Señorita #2.jpg")))};
        ShareMenuService::copyToClipboard(urls);
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->urls(), urls);
        QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
        const QByteArray expected = "copy\n" + urls[0].toEncoded() + '\n' + urls[1].toEncoded();
        QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), expected);
        QVERIFY(expected.contains("Autumn%20Leaves.pdf"));
        QVERIFY(expected.contains("Se%C3%B1orita%20%232.jpg"));
    }

    void emailAttachesEveryFile()
    {
        const QString log = TestHarness::home() + QStringLiteral("/mailer-arguments");
        const QString mailer = TestHarness::home() + QStringLiteral("/bin/xdg-email");
        TestHarness::writeFile(mailer, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                           QFile::encodeName(log) + ".part\"\nmv \"" +
                                           QFile::encodeName(log) + ".part\" \"" + QFile::encodeName(log) +
                                           "\"\n");
        QFile::setPermissions(mailer, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString a = file(QStringLiteral("-rf.pdf"));
        const QString b = file(QStringLiteral("Blue Moon.pdf"));

        QVERIFY(ShareMenuService::sendByEmail({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)},
                                              [&](const QString &) { return mailer; }));
        WAIT_VERIFY(QFile::exists(log));
        QCOMPARE(QString::fromUtf8(TestHarness::readFile(log)),
                 QStringLiteral("--attach\n%1\n--attach\n%2\n").arg(a, b));

        QVERIFY(!ShareMenuService::sendByEmail({QUrl::fromLocalFile(a)},
                                               [](const QString &) { return QString(); }));
    }

    void showInFolderAsksTheFileManager()
    {
        if (!m_bus.isRunning())
            QSKIP("dbus-daemon is not installed");
        QDBusConnection own = QDBusConnection::connectToBus(
            QString::fromLatin1(qgetenv("DBUS_SESSION_BUS_ADDRESS")), QStringLiteral("file-manager"));
        QVERIFY(own.isConnected());
        QVERIFY(own.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &m_fileManager,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(own.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        const QList<QUrl> urls{QUrl::fromLocalFile(file(QStringLiteral("a b.pdf"))),
                               QUrl::fromLocalFile(file(QStringLiteral("ç.pdf")))};
        ShareMenuService::showInFolder(urls);
        WAIT_COMPARE(m_fileManager.shown, QStringList({QString::fromLatin1(urls[0].toEncoded()),
                                                       QString::fromLatin1(urls[1].toEncoded())}));
        QCOMPARE(m_opened.urls, QList<QUrl>{});

        own.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
    }

    // With no file manager on the bus, or no bus at all, the folders open instead, each once.
    void showInFolderFallsBackToTheFolders()
    {
        const QString other = TestHarness::home() + QStringLiteral("/Other/x.pdf");
        TestHarness::writeFile(other, "x");
        ShareMenuService::showInFolder({QUrl::fromLocalFile(file(QStringLiteral("a.pdf"))),
                                        QUrl::fromLocalFile(file(QStringLiteral("b.pdf"))),
                                        QUrl::fromLocalFile(other)});
        WAIT_COMPARE(m_opened.urls.size(), 2);
        QCOMPARE(m_opened.urls,
                 QList<QUrl>({QUrl::fromLocalFile(TestHarness::home() + QStringLiteral("/Exports")),
                              QUrl::fromLocalFile(TestHarness::home() + QStringLiteral("/Other"))}));
    }
};

LYRAFOLD_TEST_GUI_MAIN(ShareMenuServiceTest)
#include "tst_sharemenuservice.moc"

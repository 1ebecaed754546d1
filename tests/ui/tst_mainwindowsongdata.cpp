#include "Fixtures.h"
#include "LoopbackHttpServer.h"
#include "MainWindowParts.h"
#include "ModalAnswer.h"
#include "OpenWindow.h"
#include "TestHarnessGui.h"
#include "core/metadata/AutoTagRun.h"
#include "core/metadata/DiscogsAuth.h"
#include "core/metadata/MetadataEnrichmentService.h"
#include "core/metadata/NetworkThrottle.h"
#include "core/slotfiles/SlotStore.h"
#include "ui/app/AppContext.h"
#include "ui/common/StatusLine.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/metadata/AutoTagFlow.h"
#include "ui/metadata/AutoTagSheet.h"
#include "ui/metadata/ImportSongDataModalRunner.h"
#include "ui/metadata/MetadataImportFlow.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>

#include <memory>

using namespace std::chrono_literals;

namespace {

using namespace MainWindowParts;

// The first title stands in the built-in metadata (genre Jazz, a composer); "Autumn Leaves" is in two
// books; neither it nor "My Own Tune" has built-in metadata.
BookmarkList rows()
{
    BookmarkList list{Fixtures::bookmark("/b/A.pdf", 1, "Ninth Street Shuffle"),
                      Fixtures::bookmark("/b/A.pdf", 2, "Autumn Leaves"),
                      Fixtures::bookmark("/b/B.pdf", 3, "autumn leaves"),
                      Fixtures::bookmark("/b/B.pdf", 4, "My Own Tune")};
    list[0].composer = QStringLiteral("Mine");
    return list;
}

std::unique_ptr<OpenWindow> windowOn(int slot)
{
    TestHarness::writeFile(SlotStore::metaFilePath(),
                           QStringLiteral(R"({"activeSlot":%1,"slotNames":{}})").arg(slot).toUtf8());
    if (!SlotStore::saveSlot(slot, rows(), QString()))
        qFatal("cannot write the slot");
    return std::make_unique<OpenWindow>();
}

QString status(const QWidget &window)
{
    return statusField(window)->text();
}

QString home(const char *name)
{
    return TestHarness::home() + QLatin1Char('/') + QLatin1String(name);
}

// Answers the column choice with OK, leaves the progress sheet alone, and records everything else.
std::unique_ptr<ModalAnswer> answerColumnsWithOk()
{
    return std::make_unique<ModalAnswer>([](QDialog *dialog) {
        if (dialog->objectName() == QLatin1String("importSongDataDialog"))
            static_cast<ImportSongDataModalRunner *>(dialog)->okPressed();
    });
}

} // namespace

class MainWindowSongDataTest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("rowsOverParts", "slotRules fileImports")

    LoopbackHttpServer m_server;
    std::chrono::milliseconds m_delay{0};

private Q_SLOTS:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QVERIFY(m_server.listen());
        // No recording is ever found: each title costs one request.
        m_server.setHandler([this](const LoopbackHttpServer::Request &) {
            LoopbackHttpServer::Response answer = LoopbackHttpServer::json(R"({"recordings":[]})");
            answer.delay = m_delay;
            return answer;
        });
    }

    void init()
    {
        LibrarySession::waitForPendingSaves();
        TestHarness::clearUserFiles();
        MetadataEnrichmentService::setEndpoints({m_server.baseUrl(), m_server.baseUrl(), 5s});
        NetworkThrottle::resetForTesting();
        NetworkThrottle::setMinimumGapForTesting(0ms);
        DiscogsAuth::setUserToken(std::nullopt);
        m_delay = 0ms;
    }

    void cleanup() { LibrarySession::waitForPendingSaves(); }

    // Which slots each action may write: the guard's alert in the Default slot, or the action itself.
    void slotRules_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("refusedWith"); // the guard's action words; empty: not refused
        TestHarness::partRow("Tag selected") << "tagSelected"
                                             << "auto-tag bookmarks";
        TestHarness::partRow("Auto-tag all") << "tagAll"
                                             << "auto-tag bookmarks";
        TestHarness::partRow("Apply Bundled Metadata Only") << "bundledOnly"
                                                            << "apply metadata";
        TestHarness::partRow("metadata file") << "importMetadata"
                                              << "import metadata";
        TestHarness::partRow("bookmark file") << "importBookmarks"
                                              << "import bookmarks";
        TestHarness::partRow("Import Song Data") << "importSongData"
                                                 << "";
        TestHarness::partRow("Auto-tag this row") << "tagThisRow"
                                                  << "";
        TestHarness::partRow("DEFAULT") << "default"
                                        << "";
    }

    void slotRules()
    {
        QFETCH(QString, action);
        QFETCH(QString, refusedWith);
        auto window = windowOn(0);
        tableView(*window)->selectRow(0);
        const auto answer = answerColumnsWithOk();
        const QHash<QString, std::function<void()>> actions{
            {"tagSelected", [&] { button(*window, "tagSelectedButton")->click(); }},
            {"tagAll", [&] { window->autoTag().tagAll(); }},
            {"bundledOnly", [&] { window->metadataImports().applyBundledMetadataToAll(); }},
            {"importMetadata", [&] { window->metadataImports().importMetadata(); }},
            {"importBookmarks", [&] { window->flows().importBookmarksFromJSONPanel(window->sink()); }},
            {"importSongData", [&] { window->autoTag().importSongData(); }},
            {"tagThisRow", [&] { chooseFromRowMenu(*window, 0, QStringLiteral("Auto-tag this row")); }},
            {"default", [&] { QTest::mouseClick(toggleTile(*window, "defaultToggleTile"), Qt::LeftButton); }},
        };
        actions.value(action)();
        if (!refusedWith.isEmpty()) {
            QCOMPARE(answer->messages, QStringList{"Default slot is read-only"});
            QCOMPARE(answer->informativeTexts.first(),
                     QStringLiteral("You cannot %1 in Default. Switch to Slot 1-5.").arg(refusedWith));
            QVERIFY(answer->otherDialogs.isEmpty());
            return;
        }
        QVERIFY(answer->messages.isEmpty());
        // The run or the metadata pass rewrites slot 0.
        WAIT_VERIFY(status(*window).startsWith("Auto-tag finished") || status(*window).startsWith("Applied"));
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(0).first().genre, QStringLiteral("Jazz"));
    }

    // DEFAULT lights itself and applies the metadata, again on a second press; the composer stays.
    void defaultModeApplies()
    {
        auto window = windowOn(1);
        QVERIFY(customModeToggle(*window)->isChecked());
        for (int press = 0; press < 2; ++press) {
            toggleTile(*window, "defaultToggleTile")->hitButton()->click();
            WAIT_COMPARE(status(*window), QStringLiteral("Applied metadata to 1 of 4 bookmarks"));
            QVERIFY(!customModeToggle(*window)->isChecked());
            QVERIFY(toggleTile(*window, "defaultToggleTile")->hitButton()->isChecked());
        }
        QCOMPARE(window->library().allBookmarks().at(0).composer, QStringLiteral("Mine"));
    }

    void folderPathField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("status");
        QTest::newRow("a folder, with blanks around it") << "  " + home("Books") + " \n"
                                                         << "Folder: " + home("Books");
        QTest::newRow("a PDF") << home("Books/a.pdf") << "That path is not a folder.";
        QTest::newRow("nothing there") << home("Nowhere") << "That path is not a folder.";
    }

    void folderPathField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, status);
        TestHarness::writeFile(home("Books/a.pdf"), "%PDF-1.4\n");
        auto window = windowOn(1);
        customModeToggle(*window)->setChecked(false);
        auto *field = child<QLineEdit>(*window, QStringLiteral("folderPathField"));
        field->clear();
        field->insert(typed); // as pasted
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(::status(*window), status);
        const bool accepted = status.startsWith(QLatin1String("Folder: "));
        QCOMPARE(window->library().selectedFolder(), accepted ? home("Books") : QString());
        QCOMPARE(button(*window, "extractButton")->isEnabled(), accepted);
        QCOMPARE(customModeToggle(*window)->isChecked(), accepted);
    }

    // The imports' status texts, also for an import that changed nothing; a file that cannot be read
    // is an alert and its line, and nothing is saved.
    void fileImports_data()
    {
        QTest::addColumn<bool>("bookmarks"); // the bookmark import; otherwise the metadata import
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("status"); // "Invalid file: …": also the alert
        TestHarness::partRow("bookmarks")
            << true << "slot.json" << QByteArray("a slot file") << "Imported 1 bookmark(s) from JSON";
        TestHarness::partRow("bookmarks, unreadable")
            << true << "slot.json" << QByteArray("[")
            << "Invalid file: Could not read a Lyrafold bookmark JSON (exported slot or cache format).";
        TestHarness::partRow("metadata CSV")
            << false << "m.csv" << QByteArray("Title,Genre\nAUTUMN LEAVES,Latin")
            << "Imported metadata updates: 1";
        TestHarness::partRow("metadata CSV without a match")
            << false << "m.csv" << QByteArray("Title,Genre\nNone,Latin")
            << "No title in Slot 3 matches the file";
        TestHarness::partRow("metadata into an empty slot")
            << false << "empty.csv" << QByteArray("Title,Genre\nAUTUMN LEAVES,Latin") << "Slot 3 is empty";
        TestHarness::partRow("metadata JSON with a year as text")
            << false << "m.json" << QByteArray(R"([{"title":"Blue Bossa","firstReleaseYear":"1963"}])")
            << "Invalid file: Not a usable metadata JSON file: ";
        TestHarness::partRow("metadata file missing")
            << false << "gone.csv" << QByteArray() << "Invalid file: Could not read the file gone.csv.";
    }

    void fileImports()
    {
        QFETCH(bool, bookmarks);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, status);
        const QString path = home(qPrintable(name));
        if (bytes == "a slot file")
            bytes = *SlotStore::encodeSlot({Fixtures::bookmark("/n/N.pdf", 1, "New")}, QStringLiteral("/n"));
        // A file gone by the time it is read (the row without bytes) is there when the panel chooses it.
        TestHarness::writeFile(path, bytes.isNull() ? QByteArray("chosen") : bytes);
        auto window = windowOn(3);
        if (name == QLatin1String("empty.csv")) {
            Fixtures::setSavedRows(window->library(), {});
        }
        customModeToggle(*window)->setChecked(false);
        statusField(*window)->setStatus(QStringLiteral("before"));
        LibrarySession::waitForPendingSaves();
        const QByteArray stored = TestHarness::readFile(SlotStore::slotFilePath(3));
        // The file is chosen in the open panel, as the user chooses it.
        ModalAnswer answer(QStringLiteral("OK"), [path, gone = bytes.isNull()](QDialog *dialog) {
            auto *panel = qobject_cast<QFileDialog *>(dialog);
            QVERIFY(panel);
            panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            static_cast<QDialog *>(panel)->accept();
            if (gone)
                QFile::remove(path);
        });
        if (bookmarks)
            window->flows().importBookmarksFromJSONPanel(window->sink());
        else
            window->metadataImports().importMetadata();
        QCOMPARE(answer.otherDialogs.size(), 1);
        if (status.startsWith(QLatin1String("Invalid file: "))) {
            WAIT_COMPARE(answer.messages, QStringList{"Invalid file"});
            QCOMPARE(::status(*window), QStringLiteral("Invalid file: ") + answer.informativeTexts.first());
            QVERIFY(::status(*window).startsWith(status));
            LibrarySession::waitForPendingSaves();
            QCOMPARE(TestHarness::readFile(SlotStore::slotFilePath(3)), stored);
            return;
        }
        WAIT_COMPARE(::status(*window), status);
        QVERIFY(answer.messages.isEmpty());
        if (bookmarks) {
            QCOMPARE(window->library().allBookmarks().size(), 1);
            QCOMPARE(window->library().selectedFolder(), QStringLiteral("/n"));
            QVERIFY(customModeToggle(*window)->isChecked());
        }
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(3), window->library().allBookmarks().toList());
    }

    void columnChoice_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("options"); // genre style year composer tempo popularity fillOnlyMissing
        QTest::newRow("as it opens") << QStringList{"okButton"} << true << "1111111";
        QTest::newRow("clear all, OK: only a beep")
            << QStringList{"clearAllButton", "okButton"} << false << "0000001";
        QTest::newRow("clear all, tempo, overwrite")
            << QStringList{"clearAllButton", "tempoCheckBox", "overwriteRadio", "okButton"} << true
            << "0000100";
        QTest::newRow("cancel") << QStringList{"cancelButton"} << false << "1111111";
    }

    void columnChoice()
    {
        QFETCH(QStringList, clicks);
        QFETCH(bool, accepted);
        QFETCH(QString, options);
        ImportSongDataModalRunner dialog(nullptr);
        dialog.show();
        for (const QString &name : clicks)
            child<QAbstractButton>(dialog, name)->click();
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(dialog.isVisible(), clicks.last() == QLatin1String("okButton") && !accepted);
        QString flags;
        for (const char *box : {"genreCheckBox", "styleCheckBox", "yearCheckBox", "composerCheckBox",
                                "tempoCheckBox", "popularityCheckBox", "fillMissingRadio"})
            flags += child<QAbstractButton>(dialog, box)->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(flags, options);
    }

    void sheetText_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("80 characters whole") << QString(80, 'a') << "12/40: " + QString(80, 'a');
        QTest::newRow("81 cut") << QString(81, 'a') << "12/40: " + QString(80, 'a') + "\u2026";
    }

    void sheetText()
    {
        QFETCH(QString, title);
        AutoTagSheet sheet(40, nullptr);
        sheet.showProgress(12, 40, title);
        QTEST(child<QLabel>(sheet, "autoTagLabel")->text(), "text");
    }

    // Import Song Data against the web service: the sheet counts the titles (a song in two books is
    // one), a second run is refused meanwhile, and the status line tells the end.
    void runInTheWindow()
    {
        m_delay = 150ms;
        auto window = windowOn(1);
        const auto answer = answerColumnsWithOk();
        window->autoTag().importSongData();
        WAIT_VERIFY(window->findChild<AutoTagSheet *>());
        auto *bar = child<QProgressBar>(*window, QStringLiteral("autoTagProgress"));
        QCOMPARE(bar->maximum(), 3);
        window->autoTag().tagAll();
        QCOMPARE(status(*window), QStringLiteral("An auto-tag run is already in progress."));
        WAIT_VERIFY(child<QLabel>(*window, QStringLiteral("autoTagLabel"))->text().contains("/3: "));
        WAIT_COMPARE(status(*window),
                     QStringLiteral("Auto-tag finished (3 bookmarks). Tagged: 1, nothing found: 2, "
                                    "lookups failed: 0."));
        QVERIFY(!window->findChild<AutoTagSheet *>() || !window->findChild<AutoTagSheet *>()->isVisible());
        QVERIFY(m_server.requests().size() >= 3);
    }

    // A slot switched to during a run stops it; the line says so after the switch's own line.
    void runStopsWhenTheSlotChanges()
    {
        m_delay = 400ms;
        SlotStore::saveSlot(2, {Fixtures::bookmark("/c/C.pdf", 1, "Other")}, QString());
        auto window = windowOn(1);
        window->autoTag().startRun({0, 1, 3}, std::nullopt);
        WAIT_VERIFY(window->findChild<AutoTagSheet *>());
        clickTile(slotTile(*window, 2));
        WAIT_VERIFY(status(*window).startsWith("Auto-tag stopped because the slot changed: "));
        QVERIFY(status(*window).endsWith(" titles were tagged and saved in Slot 1."));
        QCOMPARE(window->library().allBookmarks().at(0).title, QStringLiteral("Other"));
    }

    // A window closed during a run keeps what the run applied.
    void windowGoneDuringARun()
    {
        m_delay = 300ms;
        auto window = windowOn(1);
        window->autoTag().startRun({0, 1, 3}, std::nullopt);
        WAIT_VERIFY(window->findChild<AutoTagRun *>() && window->findChild<AutoTagRun *>()->tagged() >= 1);
        window.reset();
        LibrarySession::waitForPendingSaves();
        QCOMPARE(SlotStore::loadSlot(1).first().genre, QStringLiteral("Jazz"));
    }
};

LYRAFOLD_TEST_GUI_MAIN(MainWindowSongDataTest)
#include "tst_mainwindowsongdata.moc"

#include "ui/common/LyrafoldShareHelper.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/share/PlaylistShareFlow.h"
#include "ui/share/PlaylistShareOptionsDialog.h"

#include "ModalAnswer.h"
#include "TestHarnessGui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <optional>
#include <tuple>

Q_DECLARE_METATYPE(LyrafoldLanguage)

namespace {

struct Fakes {
    QString folder;
    bool fail = false;
    bool holdPdf = false; // the PDF builder waits for pdfReleased
    QSemaphore pdfReleased;
};

// Builders that write small files into the fakes' folder, or fail as a missing book does.
PlaylistExportBuilders fakeBuilders(const std::shared_ptr<Fakes> &fakes)
{
    const auto made = [fakes](const QString &name) {
        if (fakes->fail)
            return ExportResult::failed(ExportResult::Failure::bookMissing, QStringLiteral("/gone.pdf"));
        const QString path = fakes->folder + QLatin1Char('/') + name;
        TestHarness::writeFile(path, QByteArray(100, 'n'));
        return ExportResult::made(path);
    };
    PlaylistExportBuilders builders;
    builders.pdf = [fakes, made](const QList<PlaylistItem> &, const QString &, bool,
                                 BuildProgress *progress) {
        if (fakes->holdPdf)
            std::ignore = fakes->pdfReleased.tryAcquire(1, 30000); // bounded, should the test fail first
        if (progress->isCancelled())
            return ExportResult::failed(ExportResult::Failure::cancelled);
        return made(QStringLiteral("Set.pdf"));
    };
    builders.jpeg = [made](const QList<PlaylistItem> &, const QString &, BuildProgress *) {
        const ExportResult image = made(QStringLiteral("Set_images/page_0001.jpg"));
        return image ? ExportResult::made(QFileInfo(image.path).path()) : image;
    };
    builders.txt = [made](const QList<PlaylistItem> &, const QString &, bool, bool) {
        return made(QStringLiteral("Set.txt"));
    };
    builders.html = builders.txt;
    builders.lyf = [made](const QString &, const QList<PlaylistItem> &) {
        return made(QStringLiteral("Set.lyf"));
    };
    return builders;
}

PlaylistShareOptions chosen(const QString &formats, PlaylistShareDestination destination)
{
    PlaylistShareOptions options;
    options.exportPDF = formats.contains(QLatin1String("pdf"));
    options.exportJPEG = formats.contains(QLatin1String("jpeg"));
    options.exportTXT = formats.contains(QLatin1String("txt"));
    options.destination = destination;
    return options;
}

// A window with its Share button.
struct Window {
    QWidget widget;
    QPushButton *share = new QPushButton(QStringLiteral("Share Playlist"));
    Window()
    {
        (new QVBoxLayout(&widget))->addWidget(share);
        widget.resize(400, 300);
        widget.show();
    }
};

} // namespace

class PlaylistShareFlowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void optionsDialog_data();
    void optionsDialog();
    void delivery_data();
    void delivery();
    void localSave_data();
    void localSave();
    void cancelDuringBuild();
};

void PlaylistShareFlowTest::optionsDialog_data()
{
    QTest::addColumn<QStringList>("toggled");
    QTest::addColumn<int>("destination");
    QTest::addColumn<bool>("proceed");
    QTest::addColumn<std::optional<PlaylistShareOptions>>("answer");
    QTest::addColumn<QStringList>("alerts");
    QTest::addColumn<LyrafoldLanguage>("language");

    PlaylistShareOptions picked;
    picked.exportJPEG = true;
    picked.exportLYF = true;
    picked.includeLinksInPDF = false;
    picked.destination = PlaylistShareDestination::local;

    QTest::newRow("as it opens") << QStringList{} << 1 << true
                                 << std::optional<PlaylistShareOptions>(PlaylistShareOptions{})
                                 << QStringList{} << LyrafoldLanguage::en;
    QTest::newRow("formats, links, local")
        << QStringList{"shareExportJpeg", "shareExportLyf", "shareLinksInPdf"} << 0 << true
        << std::optional<PlaylistShareOptions>(picked) << QStringList{} << LyrafoldLanguage::en;
    QTest::newRow("no format") << QStringList{"shareExportPdf"} << 1 << true
                               << std::optional<PlaylistShareOptions>()
                               << QStringList{"No file type selected"} << LyrafoldLanguage::en;
    QTest::newRow("cancelled") << QStringList{"shareExportJpeg"} << 0 << false
                               << std::optional<PlaylistShareOptions>() << QStringList{}
                               << LyrafoldLanguage::en;
    // The dialog is English in every language.
    QTest::newRow("in Spanish") << QStringList{} << 1 << true
                                << std::optional<PlaylistShareOptions>(PlaylistShareOptions{})
                                << QStringList{} << LyrafoldLanguage::es;
}

void PlaylistShareFlowTest::optionsDialog()
{
    QFETCH(QStringList, toggled);
    QFETCH(int, destination);
    QFETCH(bool, proceed);
    QFETCH(std::optional<PlaylistShareOptions>, answer);
    QFETCH(QStringList, alerts);
    QFETCH(LyrafoldLanguage, language);
    LyrafoldLanguageService::setCurrent(language);
    const auto restore = qScopeGuard([] { LyrafoldLanguageService::setCurrent(LyrafoldLanguage::en); });

    Window window;
    QString opened;
    ModalAnswer answerer(QStringLiteral("OK"), [&](QDialog *dialog) {
        for (QCheckBox *box : dialog->findChildren<QCheckBox *>())
            opened += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
        auto *popup = dialog->findChild<QComboBox *>(QStringLiteral("shareDestinationPopup"));
        opened += QLatin1Char(' ') + popup->currentText() + QLatin1Char(' ') +
                  dialog->findChild<QPushButton *>(QStringLiteral("shareContinueButton"))->text();
        for (const QString &name : toggled)
            dialog->findChild<QCheckBox *>(name)->click();
        popup->setCurrentIndex(destination);
        if (proceed)
            dialog->findChild<QPushButton *>(QStringLiteral("shareContinueButton"))->click();
        else
            dialog->reject();
    });
    QCOMPARE(PlaylistShareOptionsDialog::run(&window.widget), answer);
    QCOMPARE(opened, QStringLiteral("10000111 Other Continue"));
    QCOMPARE(answerer.messages, alerts);
}

void PlaylistShareFlowTest::delivery_data()
{
    QTest::addColumn<PlaylistShareFlow::Kind>("kind");
    QTest::addColumn<bool>("fail");
    QTest::addColumn<QStringList>("alerts");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<bool>("popover");

    const auto playlist = PlaylistShareFlow::Kind::playlist;
    const auto autoPlaylist = PlaylistShareFlow::Kind::autoPlaylist;
    QTest::newRow("offered") << playlist << false << QStringList{} << QStringList{} << true;
    QTest::newRow("offered, status") << autoPlaylist << false << QStringList{}
                                     << QStringList{"Share ready (2 item(s))."} << true;
    QTest::newRow("nothing made") << playlist << true << QStringList{"Could not create share content"}
                                  << QStringList{} << false;
    QTest::newRow("nothing made, status")
        << autoPlaylist << true << QStringList{} << QStringList{"Could not build export."} << false;
}

// "Other": the files go to the share-or-save popup, or the window hears that nothing was made.
void PlaylistShareFlowTest::delivery()
{
    QFETCH(PlaylistShareFlow::Kind, kind);
    QFETCH(bool, fail);
    QFETCH(QStringList, alerts);
    QFETCH(QStringList, statuses);
    QFETCH(bool, popover);

    QTemporaryDir exports;
    auto fakes = std::make_shared<Fakes>();
    fakes->folder = exports.path();
    fakes->fail = fail;
    Window window;
    ModalAnswer answerer(QStringLiteral("OK"));
    PlaylistShareFlow *flow = PlaylistShareFlow::runForTesting(
        &window.widget, window.share, {PlaylistItem{}}, QStringLiteral("Set"),
        chosen(QStringLiteral("pdf txt"), PlaylistShareDestination::other), kind, fakeBuilders(fakes));
    QSignalSpy finished(flow, &PlaylistShareFlow::finished);
    QSignalSpy status(flow, &PlaylistShareFlow::statusChanged);
    QVERIFY(finished.wait(TestHarness::hangGuardMs));

    QCOMPARE(answerer.messages, alerts);
    QStringList told;
    for (const QList<QVariant> &signal : status)
        told << signal.first().toString();
    QCOMPARE(told, statuses);
    auto *shown = window.widget.findChild<QFrame *>(QStringLiteral("shareOrSavePopover"));
    QCOMPARE(shown != nullptr, popover);
    if (!shown)
        return;
    // Its save button closes it and asks for the folder to save into.
    for (QPushButton *button : shown->findChildren<QPushButton *>()) {
        if (button->text() == LyrafoldShareHelper::saveButtonTitle)
            button->click();
    }
    WAIT_VERIFY(answerer.otherDialogs.contains(QStringLiteral("exportFolderPanel")));
    WAIT_VERIFY(!window.widget.findChild<QFrame *>(QStringLiteral("shareOrSavePopover")));
}

void PlaylistShareFlowTest::localSave_data()
{
    QTest::addColumn<PlaylistShareFlow::Kind>("kind");
    QTest::addColumn<QString>("formats");
    QTest::addColumn<bool>("pickFolder");
    QTest::addColumn<QString>("button");  // the answer to every message box
    QTest::addColumn<bool>("copiesFail"); // every write in the save fails as on a full disk
    QTest::addColumn<QStringList>("alerts");
    QTest::addColumn<QString>("informative"); // of the last alert
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("replaced"); // the old Set.pdf and Set_images hold the new exports

    const auto playlist = PlaylistShareFlow::Kind::playlist;
    const auto autoPlaylist = PlaylistShareFlow::Kind::autoPlaylist;
    QTest::newRow("saved") << playlist << "pdf txt" << true << "OK" << false << QStringList{"Share complete"}
                           << "Shared to <target>\n\nSaved: Set.pdf, Set.txt"
                           << "" << true;
    QTest::newRow("every copy fails")
        << playlist << "pdf txt" << true << "OK" << true << QStringList{"The exports could not be saved"}
        << "Not saved:\nSet.pdf: Could not copy “Set.pdf”: File too large\nSet.txt: Could not copy "
           "“Set.txt”: "
           "File too large"
        << "" << false;
    QTest::newRow("panel cancelled") << playlist << "pdf" << false << "OK" << false << QStringList{} << ""
                                     << "" << false;
    QTest::newRow("image folder kept")
        << playlist << "jpeg" << true << "Cancel" << false
        << QStringList{"Replace the folder “Set_images”?", "Share complete"} << "No files were saved."
        << "" << false;
    QTest::newRow("image folder replaced")
        << playlist << "jpeg" << true << "Replace" << false
        << QStringList{"Replace the folder “Set_images”?", "Share complete"}
        << "Shared to <target>\n\nSaved: Set_images"
        << "" << true;
    QTest::newRow("saved, status") << autoPlaylist << "pdf" << true << "OK" << false << QStringList{} << ""
                                   << "Saved exports to local folder." << true;
    QTest::newRow("panel cancelled, no status")
        << autoPlaylist << "pdf" << false << "OK" << false << QStringList{} << ""
        << "" << false;
    QTest::newRow("every copy fails, no status")
        << autoPlaylist << "pdf" << true << "OK" << true << QStringList{"The exports could not be saved"}
        << "Not saved:\nSet.pdf: Could not copy “Set.pdf”: File too large"
        << "" << false;
}

// "Local": the exports are copied into the chosen folder; what was there is replaced only once the copy
// is whole, an image folder only when the user agrees; failures are reported, not "Share complete".
void PlaylistShareFlowTest::localSave()
{
    QFETCH(PlaylistShareFlow::Kind, kind);
    QFETCH(QString, formats);
    QFETCH(bool, pickFolder);
    QFETCH(QString, button);
    QFETCH(bool, copiesFail);
    QFETCH(QStringList, alerts);
    QFETCH(QString, informative);
    QFETCH(QString, status);
    QFETCH(bool, replaced);

    QTemporaryDir exports;
    QTemporaryDir target;
    TestHarness::writeFile(target.filePath(QStringLiteral("Set.pdf")), "old");
    TestHarness::writeFile(target.filePath(QStringLiteral("Set_images/page_0001.jpg")), "old");
    auto fakes = std::make_shared<Fakes>();
    fakes->folder = exports.path();
    Window window;
    std::optional<TestHarness::FileSizeLimit> fullDisk;
    ModalAnswer answerer(button, [&](QDialog *dialog) {
        auto *panel = qobject_cast<QFileDialog *>(dialog);
        if (!panel)
            return;
        QCOMPARE(panel->windowTitle(), QStringLiteral("Choose folder to save exports"));
        if (!pickFolder) {
            panel->reject();
            return;
        }
        if (copiesFail)
            fullDisk.emplace(10);
        panel->setDirectory(target.path());
        static_cast<QDialog *>(panel)->accept();
    });
    PlaylistShareFlow *flow = PlaylistShareFlow::runForTesting(
        &window.widget, window.share, {PlaylistItem{}}, QStringLiteral("Set"),
        chosen(formats, PlaylistShareDestination::local), kind, fakeBuilders(fakes));
    QSignalSpy finished(flow, &PlaylistShareFlow::finished);
    QSignalSpy told(flow, &PlaylistShareFlow::statusChanged);
    QVERIFY(finished.wait(TestHarness::hangGuardMs));
    fullDisk.reset();

    QCOMPARE(answerer.otherDialogs.contains(QStringLiteral("exportFolderPanel")), true);
    QCOMPARE(answerer.messages, alerts);
    QCOMPARE(answerer.informativeTexts.value(alerts.size() - 1),
             informative.replace(QStringLiteral("<target>"), QDir::toNativeSeparators(target.path())));
    QCOMPARE(told.isEmpty() ? QString() : told.last().first().toString(), status);
    const QByteArray expected = replaced ? QByteArray(100, 'n') : QByteArray("old");
    const QString changed = formats.contains(QLatin1String("jpeg"))
                                ? QStringLiteral("Set_images/page_0001.jpg")
                                : QStringLiteral("Set.pdf");
    QCOMPARE(TestHarness::readFile(target.filePath(changed)), expected);
    QCOMPARE(QDir(target.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
             2 + int(formats.contains(QLatin1String("txt")) && !copiesFail));
}

// Cancel in the progress dialog stops the build; nothing is offered or told, and no second export of
// the window can start while the first builds.
void PlaylistShareFlowTest::cancelDuringBuild()
{
    QTemporaryDir exports;
    auto fakes = std::make_shared<Fakes>();
    fakes->folder = exports.path();
    fakes->holdPdf = true;
    Window window;
    const PlaylistShareOptions options = chosen(QStringLiteral("pdf txt"), PlaylistShareDestination::other);
    PlaylistShareFlow *flow = PlaylistShareFlow::runForTesting(
        &window.widget, window.share, {PlaylistItem{}}, QStringLiteral("Set"), options,
        PlaylistShareFlow::Kind::autoPlaylist, fakeBuilders(fakes));
    QSignalSpy finished(flow, &PlaylistShareFlow::finished);
    QSignalSpy status(flow, &PlaylistShareFlow::statusChanged);

    auto *progress = window.widget.findChild<QDialog *>(QStringLiteral("exportProgressDialog"));
    QVERIFY(progress);
    WAIT_VERIFY(progress->isVisible());
    QCOMPARE(progress->windowModality(), Qt::WindowModal);
    WAIT_COMPARE(progress->findChild<QLabel *>(QStringLiteral("exportProgressStep"))->text(),
                 QStringLiteral("Building the PDF (1 of 2)"));
    QVERIFY(PlaylistShareFlow::isBuilding(&window.widget));
    QCOMPARE(PlaylistShareFlow::runForTesting(&window.widget, window.share, {PlaylistItem{}},
                                              QStringLiteral("Set"), options,
                                              PlaylistShareFlow::Kind::autoPlaylist, fakeBuilders(fakes)),
             nullptr);

    progress->findChild<QPushButton *>(QStringLiteral("exportProgressCancel"))->click();
    fakes->pdfReleased.release();
    QVERIFY(finished.wait(TestHarness::hangGuardMs));
    QVERIFY(status.isEmpty());
    QVERIFY(!window.widget.findChild<QFrame *>(QStringLiteral("shareOrSavePopover")));
    QVERIFY(!QFileInfo::exists(exports.filePath(QStringLiteral("Set.txt"))));
    WAIT_VERIFY(!window.widget.findChild<QDialog *>(QStringLiteral("exportProgressDialog")));
}

LYRAFOLD_TEST_GUI_MAIN(PlaylistShareFlowTest)
#include "tst_playlistshareflow.moc"

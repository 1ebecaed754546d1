#include "Fixtures.h"
#include "ModalAnswer.h"
#include "TestHarnessGui.h"
#include "ui/common/ExportProgressDialog.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldShareHelper.h"
#include "ui/share/TitleShareFlow.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

// A window with its Share button.
struct Window {
    QWidget widget;
    QPushButton *share = new QPushButton(QStringLiteral("Share"));
    Window()
    {
        (new QVBoxLayout(&widget))->addWidget(share);
        widget.resize(400, 300);
        widget.show();
    }
    QFrame *popup() const { return widget.findChild<QFrame *>(QStringLiteral("shareOrSavePopover")); }
};

// Counts the showings of the windows of a name.
struct Showings : QObject {
    explicit Showings(const QString &name) : name(name) { qApp->installEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        count += event->type() == QEvent::Show && object->objectName() == name;
        return false;
    }
    QString name;
    int count = 0;
};

// Makes what the row asks for in folder: "pdf" a file, "jpeg" a folder of the named images, "missing"
// the failure of a book that cannot be read, "cancelled" a stopped build.
TitleShareFlow::Builder builder(const QString &folder, const QString &outcome, const QStringList &images = {})
{
    return [=](TitleShareFlow::Format, const BookmarkEntry &, const QString &base,
               const std::optional<PdfEditCacheFile> &, BuildProgress *) {
        if (outcome == QLatin1String("missing"))
            return ExportResult::failed(ExportResult::Failure::bookMissing, QStringLiteral("/gone.pdf"));
        if (outcome == QLatin1String("cancelled"))
            return ExportResult::failed(ExportResult::Failure::cancelled);
        if (outcome == QLatin1String("pdf")) {
            TestHarness::writeFile(folder + QLatin1Char('/') + base + QStringLiteral(".pdf"), "new");
            return ExportResult::made(folder + QLatin1Char('/') + base + QStringLiteral(".pdf"));
        }
        const QString images_ = folder + QLatin1Char('/') + base + QStringLiteral("_images");
        QDir().mkpath(images_);
        for (const QString &image : images)
            TestHarness::writeFile(images_ + QLatin1Char('/') + image, "jpeg");
        return ExportResult::made(images_);
    };
}

} // namespace

class TitleShareFlowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A title's exports are named after it, "/" and ":" made "-", then the day; a title without a
    // name goes by its book's file name.
    void baseName_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("base");
        QTest::newRow("slash and colon") << "AC/DC: Live"
                                         << "AC-DC- Live_2025-03-05";
        QTest::newRow("no title") << ""
                                  << "Book.pdf_2025-03-05";
    }

    void baseName()
    {
        QFETCH(QString, title);
        const BookmarkEntry entry = Fixtures::bookmark(QStringLiteral("/b/Book.pdf"), 3, title);
        QTEST(TitleShareFlow::baseName(entry, QDate(2025, 3, 5)), "base");
    }

    // What the build made is offered in the popup (the images in page order), or the user is told it
    // could not be made; a cancelled build tells nothing. The failure comes whenever the build ends: a
    // key typed as it shows does not close it unread, Return does once it has been shown a while.
    void delivery_data()
    {
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QStringList>("images");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<QStringList>("alerts");
        QTest::addColumn<bool>("typedAsItShows"); // a Space, then Return once the guard has passed
        QTest::newRow("a PDF") << "pdf" << QStringList{} << true << QStringList{} << false;
        QTest::newRow("images") << "jpeg" << QStringList{"page_0002.jpg", "page_0001.jpg"} << true
                                << QStringList{} << false;
        QTest::newRow("a folder without images")
            << "jpeg" << QStringList{} << false << QStringList{"Could not create share content"} << false;
        QTest::newRow("a book that cannot be read")
            << "missing" << QStringList{} << false << QStringList{"Could not create share content"} << false;
        QTest::newRow("a book that cannot be read, a Space typed as it shows")
            << "missing" << QStringList{} << false << QStringList{"Could not create share content"} << true;
        QTest::newRow("cancelled") << "cancelled" << QStringList{} << false << QStringList{} << false;
    }

    void delivery()
    {
        QFETCH(QString, outcome);
        QFETCH(QStringList, images);
        QFETCH(bool, typedAsItShows);
        QTemporaryDir folder;
        Window window;
        LyrafoldAlert::setKeyGuardForTesting(std::chrono::hours(1));
        const auto keysAgain =
            qScopeGuard([] { LyrafoldAlert::setKeyGuardForTesting(std::chrono::seconds(1)); });
        bool openAfterSpace = false;
        ModalAnswer answers(QList<ModalAnswer::Step>{[&](QDialog *alert) {
            if (!typedAsItShows) {
                ModalAnswer::press(alert, QStringLiteral("OK"));
                return;
            }
            WAIT_VERIFY(QApplication::activeWindow() == alert);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            openAfterSpace = alert->isVisible();
            if (!openAfterSpace)
                return;
            LyrafoldAlert::setKeyGuardForTesting(std::chrono::milliseconds(0));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }});
        TitleShareFlow *flow = TitleShareFlow::runForTesting(
            &window.widget, window.share,
            Fixtures::bookmark(QStringLiteral("/b/Book.pdf"), 3, QStringLiteral("Song")), std::nullopt,
            outcome == QLatin1String("pdf") ? TitleShareFlow::Format::pdf : TitleShareFlow::Format::jpeg,
            builder(folder.path(), outcome, images));
        QVERIFY(TitleShareFlow::isBuilding(&window.widget));
        QSignalSpy finished(flow, &TitleShareFlow::finished);
        QVERIFY(finished.wait(TestHarness::hangGuardMs));
        QTEST(window.popup() != nullptr, "offered");
        QTEST(answers.messages, "alerts");
        QCOMPARE(answers.stepsLeft(), answers.messages.isEmpty() ? 1 : 0);
        QCOMPARE(openAfterSpace, typedAsItShows);
        if (!answers.messages.isEmpty() && outcome == QLatin1String("missing"))
            QCOMPARE(answers.informativeTexts.first(),
                     QStringLiteral("Check that the PDF file still exists."));
    }

    // The popup's save: the PDF under a name the user may change (the title and the day, cut to 200
    // bytes), replacing a file of that name only once the copy is whole; the folder saved to is told
    // beside the Share button, also once the dialogs have closed and the window is active again (after
    // a save long enough to show its progress too), a copy that fails in an alert.
    void savePdf_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<bool>("slow");       // the progress dialog shows
        QTest::addColumn<QByteArray>("kept"); // in the chosen file afterwards
        QTest::addColumn<QStringList>("alerts");
        QTest::addColumn<bool>("saved");
        QTest::newRow("replaces the old file")
            << "Song" << false << false << QByteArray("new") << QStringList{} << true;
        QTest::newRow("a long title is cut")
            << QString(300, QChar(0x00E9)) << false << false << QByteArray("new") << QStringList{} << true;
        QTest::newRow("a save that shows its progress")
            << "Song" << false << true << QByteArray("new") << QStringList{} << true;
        QTest::newRow("a failed copy keeps the old file")
            << "Song" << true << false << QByteArray("old") << QStringList{"Could not save file"} << false;
    }

    void savePdf()
    {
        QFETCH(QString, title);
        QFETCH(bool, diskFull);
        QTemporaryDir exports;
        QTemporaryDir target;
        const BookmarkEntry entry = Fixtures::bookmark(QStringLiteral("/b/Book.pdf"), 3, title);
        const QString built = exports.filePath(QStringLiteral("built.pdf"));
        TestHarness::writeFile(built, "new");
        const QString chosen = target.filePath(QStringLiteral("Mine.pdf"));
        TestHarness::writeFile(chosen, "old");
        Window window;
        QString suggested;
        std::optional<TestHarness::FileSizeLimit> fullDisk;
        ModalAnswer answers(QStringLiteral("OK"), [&](QDialog *dialog) {
            auto *panel = qobject_cast<QFileDialog *>(dialog);
            suggested = panel->selectedFiles().value(0);
            panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(chosen);
            if (diskFull)
                fullDisk.emplace(2);
            // As the panel ends once the user has agreed to replace the file.
            static_cast<QDialog *>(panel)->done(QDialog::Accepted);
        });
        QFETCH(bool, slow);
        ExportProgressDialog::setShowDelayForTesting(slow ? 0 : 250);
        const auto usualDelay = qScopeGuard([] { ExportProgressDialog::setShowDelayForTesting(250); });
        Showings progress(QStringLiteral("exportProgressDialog"));
        QToolTip::hideText();
        TitleShareSave::savePdf(&window.widget, built, entry, window.share);
        // The copy runs while its progress dialog exists.
        WAIT_VERIFY(!window.widget.findChild<QDialog *>(QStringLiteral("exportProgressDialog")));
        fullDisk.reset();
        if (slow)
            QCOMPARE(progress.count, 1);
        // As the window manager does once the dialogs have closed.
        window.widget.activateWindow();
        WAIT_VERIFY(window.widget.isActiveWindow());
        QTEST(TestHarness::readFile(chosen), "kept");
        QTEST(answers.messages, "alerts");
        QFETCH(bool, saved);
        QCOMPARE(QToolTip::text(),
                 saved ? QStringLiteral("Saved to ") + QDir::toNativeSeparators(target.path()) : QString());
        QVERIFY(QFileInfo(suggested).fileName().toUtf8().size() <= 200);
        QVERIFY(QFileInfo(suggested).fileName().endsWith(QStringLiteral(".pdf")));
        QVERIFY(QFileInfo(suggested).fileName().startsWith(title.left(20)));
    }
};

LYRAFOLD_TEST_GUI_MAIN(TitleShareFlowTest)
#include "tst_titleshareflow.moc"

#include "pdf/share/PlaylistExportRun.h"

#include "TestHarness.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <tuple>

namespace {

using Format = PlaylistExportFormat;

struct Recorder {
    QStringList calls;
    QString folder;
    bool holdPdf = false; // the PDF builder waits for pdfReleased
    QSemaphore pdfReleased;
};

// Builders that log their calls and write a small file each (the images: a folder with a hidden file).
PlaylistExportBuilders recordingBuilders(const std::shared_ptr<Recorder> &recorder)
{
    const auto made = [recorder](const QString &name) {
        const QString path = recorder->folder + QLatin1Char('/') + name;
        TestHarness::writeFile(path, "x");
        return ExportResult::made(path);
    };
    PlaylistExportBuilders builders;
    builders.pdf = [recorder, made](const QList<PlaylistItem> &items, const QString &name, bool links,
                                    BuildProgress *progress) {
        recorder->calls << QStringLiteral("pdf %1 %2 links=%3").arg(name).arg(items.size()).arg(links);
        reportTitles(progress, 1, 2);
        if (recorder->holdPdf)
            std::ignore = recorder->pdfReleased.tryAcquire(1, 30000); // bounded, should the test fail first
        if (progress->isCancelled())
            return ExportResult::failed(ExportResult::Failure::cancelled);
        return made(QStringLiteral("Set.pdf"));
    };
    builders.jpeg = [recorder](const QList<PlaylistItem> &, const QString &name, BuildProgress *) {
        recorder->calls << QStringLiteral("jpeg %1").arg(name);
        const QString folder = recorder->folder + QStringLiteral("/Set_images");
        for (const char *file : {"page_0010.jpg", "page_0002.jpg", "page_0001.jpg", ".hidden"})
            TestHarness::writeFile(folder + QLatin1Char('/') + QLatin1String(file), "x");
        return ExportResult::made(folder);
    };
    builders.txt = [recorder, made](const QList<PlaylistItem> &, const QString &name, bool book, bool links) {
        recorder->calls << QStringLiteral("txt %1 book=%2 links=%3").arg(name).arg(book).arg(links);
        return made(QStringLiteral("Set.txt"));
    };
    builders.html = [recorder](const QList<PlaylistItem> &, const QString &name, bool book, bool links) {
        recorder->calls << QStringLiteral("html %1 book=%2 links=%3").arg(name).arg(book).arg(links);
        return ExportResult::failed(ExportResult::Failure::writeFailed, QStringLiteral("disk full"));
    };
    builders.lyf = [recorder, made](const QString &name, const QList<PlaylistItem> &) {
        recorder->calls << QStringLiteral("lyf %1").arg(name);
        return made(QStringLiteral("Set.lyf"));
    };
    return builders;
}

PlaylistShareOptions options(const QString &formats, bool linksInPdf, bool linksInText, bool bookAndPages)
{
    PlaylistShareOptions options;
    options.exportPDF = formats.contains(QLatin1String("pdf"));
    options.exportJPEG = formats.contains(QLatin1String("jpeg"));
    options.exportTXT = formats.contains(QLatin1String("txt"));
    options.exportHTML = formats.contains(QLatin1String("html"));
    options.exportLYF = formats.contains(QLatin1String("lyf"));
    options.includeLinksInPDF = linksInPdf;
    options.includeLinksInText = linksInText;
    options.includeBookAndPages = bookAndPages;
    return options;
}

QStringList names(const QStringList &paths, const QString &folder)
{
    QStringList relative;
    for (const QString &path : paths)
        relative << path.mid(folder.size() + 1);
    return relative;
}

} // namespace

class PlaylistExportRunTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void callsTheChosenBuilders_data();
    void callsTheChosenBuilders();
    void cancelStopsTheRun();
};

void PlaylistExportRunTest::callsTheChosenBuilders_data()
{
    QTest::addColumn<QString>("formats");
    QTest::addColumn<bool>("linksInPdf");
    QTest::addColumn<bool>("linksInText");
    QTest::addColumn<bool>("bookAndPages");
    QTest::addColumn<PlaylistExportRun::Order>("order");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("shareFiles");
    QTest::addColumn<QStringList>("savePaths");

    const auto afterPdf = PlaylistExportRun::Order::imagesAfterPdf;
    const auto last = PlaylistExportRun::Order::imagesLast;
    const QStringList images{"Set_images/page_0001.jpg", "Set_images/page_0002.jpg",
                             "Set_images/page_0010.jpg"};

    QTest::newRow("pdf with links") << "pdf" << true << false << false << afterPdf
                                    << QStringList{"pdf Set 2 links=1"} << QStringList{"Set.pdf"}
                                    << QStringList{"Set.pdf"};
    QTest::newRow("pdf without links")
        << "pdf" << false << true << true << afterPdf << QStringList{"pdf Set 2 links=0"}
        << QStringList{"Set.pdf"} << QStringList{"Set.pdf"};
    QTest::newRow("text switches") << "txt html" << true << false << true << afterPdf
                                   << QStringList{"txt Set book=1 links=0", "html Set book=1 links=0"}
                                   << QStringList{"Set.txt"} << QStringList{"Set.txt"};
    QTest::newRow("all, images after the pdf")
        << "pdf jpeg txt html lyf" << true << true << false << afterPdf
        << QStringList{"pdf Set 2 links=1", "jpeg Set", "txt Set book=0 links=1", "html Set book=0 links=1",
                       "lyf Set"}
        << QStringList{"Set.pdf"} + images + QStringList{"Set.txt", "Set.lyf"}
        << QStringList{"Set.pdf", "Set.txt", "Set.lyf", "Set_images"};
    QTest::newRow("all, images last") << "pdf jpeg txt html lyf" << true << true << true << last
                                      << QStringList{"pdf Set 2 links=1", "txt Set book=1 links=1",
                                                     "html Set book=1 links=1", "jpeg Set", "lyf Set"}
                                      << QStringList{"Set.pdf", "Set.txt", "Set.lyf"} + images
                                      << QStringList{"Set.pdf", "Set.txt", "Set.lyf", "Set_images"};
}

void PlaylistExportRunTest::callsTheChosenBuilders()
{
    QFETCH(QString, formats);
    QFETCH(bool, linksInPdf);
    QFETCH(bool, linksInText);
    QFETCH(bool, bookAndPages);
    QFETCH(PlaylistExportRun::Order, order);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, shareFiles);
    QFETCH(QStringList, savePaths);

    QTemporaryDir folder;
    auto recorder = std::make_shared<Recorder>();
    recorder->folder = folder.path();
    PlaylistExportRun run({PlaylistItem{}, PlaylistItem{}}, QStringLiteral("Set"),
                          options(formats, linksInPdf, linksInText, bookAndPages), order,
                          recordingBuilders(recorder));
    QSignalSpy finished(&run, &PlaylistExportRun::finished);
    run.start();
    QVERIFY(finished.wait(TestHarness::hangGuardMs));

    const auto exports = finished.first().first().value<PlaylistExports>();
    QCOMPARE(recorder->calls, calls);
    QCOMPARE(names(exports.shareFiles, folder.path()), shareFiles);
    QCOMPARE(names(exports.savePaths(), folder.path()), savePaths);
    QCOMPARE(exports.failures().isEmpty(), !formats.contains(QLatin1String("html")));
    QVERIFY(!exports.cancelled);
}

// Cancelling while the PDF builds stops that builder and runs no other; the run tells that it was
// cancelled, and how far it had come before.
void PlaylistExportRunTest::cancelStopsTheRun()
{
    QTemporaryDir folder;
    auto recorder = std::make_shared<Recorder>();
    recorder->folder = folder.path();
    recorder->holdPdf = true;
    PlaylistExportRun run({PlaylistItem{}, PlaylistItem{}}, QStringLiteral("Set"),
                          options(QStringLiteral("pdf txt"), true, true, true),
                          PlaylistExportRun::Order::imagesAfterPdf, recordingBuilders(recorder));
    QSignalSpy steps(&run, &PlaylistExportRun::stepStarted);
    QSignalSpy titles(&run, &PlaylistExportRun::titlesProgressed);
    QSignalSpy finished(&run, &PlaylistExportRun::finished);
    run.start();
    WAIT_COMPARE(titles.size(), 1);
    QVERIFY(run.isRunning());
    run.cancel();
    recorder->pdfReleased.release();
    QVERIFY(finished.wait(TestHarness::hangGuardMs));

    QCOMPARE(steps.size(), 1);
    QCOMPARE(titles.first(), (QList<QVariant>{qint64(1), qint64(2)}));
    QCOMPARE(recorder->calls, QStringList{"pdf Set 2 links=1"});
    const auto exports = finished.first().first().value<PlaylistExports>();
    QVERIFY(exports.cancelled);
    QVERIFY(exports.shareFiles.isEmpty());
    QVERIFY(!run.isRunning());
}

LYRAFOLD_TEST_MAIN(PlaylistExportRunTest)
#include "tst_playlistexportrun.moc"

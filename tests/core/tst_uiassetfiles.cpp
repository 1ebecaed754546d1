#include "TestHarness.h"
#include "core/resources/BundledResources.h"
#include "core/resources/UIAssetFiles.h"

#include <QDir>

// Which file an image name or a book resolves to, against a resource folder laid out by each case.
class UIAssetFilesTest : public QObject {
    Q_OBJECT

    QString root() const { return TestHarness::home() + QStringLiteral("/resources"); }

    void layOut(const QStringList &files)
    {
        QDir(root()).removeRecursively();
        QDir().mkpath(root() + QStringLiteral("/UI/Covers"));
        for (const QString &file : files)
            TestHarness::writeFile(root() + QLatin1Char('/') + file, "x");
    }

    QStringList relative(const QStringList &paths) const
    {
        QStringList out;
        for (const QString &path : paths)
            out << QDir(root()).relativeFilePath(path);
        return out;
    }

private Q_SLOTS:
    void cleanup() { BundledResources::setRootForTesting({}); }

    void imageOrder_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("older name first, whatever the extension")
            << QStringList{"UI/clear_slot.png", "UI/delete.jpeg"} << "clear_slot"
            << QStringList{"UI/delete.jpeg", "UI/clear_slot.png"};
        QTest::newRow("png, jpg, jpeg")
            << QStringList{"UI/delete.jpeg", "UI/delete.jpg", "UI/delete.png", "UI/clear_slot.jpg"}
            << "clear_slot"
            << QStringList{"UI/delete.png", "UI/delete.jpg", "UI/delete.jpeg", "UI/clear_slot.jpg"};
        QTest::newRow("name without older name")
            << QStringList{"UI/delete.jpg", "UI/clear_slot.png"} << "delete" << QStringList{"UI/delete.jpg"};
        QTest::newRow("older name equal to the name, listed once")
            << QStringList{"UI/listen.png"} << "listen" << QStringList{"UI/listen.png"};
        QTest::newRow("older name with a blank")
            << QStringList{"UI/select folder.png"} << "select_folder" << QStringList{"UI/select folder.png"};
        QTest::newRow("names are case-sensitive")
            << QStringList{"UI/merge.png", "UI/Merge.jpg"} << "merge_slots" << QStringList{"UI/Merge.jpg"};
        QTest::newRow("nothing of that name")
            << QStringList{"UI/delete.png"} << "custom_files" << QStringList{};
    }

    void imageOrder()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        layOut(present);
        BundledResources::setRootForTesting(root());
        QCOMPARE(relative(UIAssetFiles::imageFiles(name)), expected);
    }

    void cover_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("pdfFileName");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("file name as it is") << QStringList{"UI/Covers/Real Book.pdf.png"} << "Real Book.pdf"
                                            << QStringList{"UI/Covers/Real Book.pdf.png"};
        QTest::newRow("upper-case extension")
            << QStringList{"UI/Covers/Book.pdf.png"} << "Book.PDF" << QStringList{"UI/Covers/Book.pdf.png"};
        QTest::newRow("exact name before the .pdf form")
            << QStringList{"UI/Covers/Book.pdf.png", "UI/Covers/Book.PDF.png"} << "Book.PDF"
            << QStringList{"UI/Covers/Book.PDF.png", "UI/Covers/Book.pdf.png"};
        QTest::newRow("no extension")
            << QStringList{"UI/Covers/Book.pdf.png"} << "Book" << QStringList{"UI/Covers/Book.pdf.png"};
        QTest::newRow("missing cover")
            << QStringList{"UI/Real Book.pdf.png"} << "Real Book.pdf" << QStringList{};
        QTest::newRow("a path is no file name")
            << QStringList{"UI/secret.pdf.png"} << "../secret.pdf" << QStringList{};
    }

    void cover()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, pdfFileName);
        QFETCH(QStringList, expected);
        layOut(present);
        BundledResources::setRootForTesting(root());
        QCOMPARE(relative(UIAssetFiles::coverFiles(pdfFileName)), expected);
    }

    // The windows and the exports ask for these names; each must come with the program.
    void shippedImages_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"header_logo",
                                 "extract_bookmarks",
                                 "default_bookmarks",
                                 "custom_files",
                                 "save_slot",
                                 "merge_slots",
                                 "listen",
                                 "bookmark_workshop",
                                 "import_metadata",
                                 "auto_playlist",
                                 "playlists",
                                 "delete",
                                 "spotify",
                                 "youtube",
                                 "bookswap",
                                 "titleswap",
                                 "pencil",
                                 "highlighter_marker",
                                 "clear_slot",
                                 "edit_metadata",
                                 "copy_slot"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void shippedImages()
    {
        QFETCH(QString, name);
        const QStringList files = UIAssetFiles::imageFiles(name);
        QVERIFY(!files.isEmpty());
        QVERIFY(files.first().startsWith(QStringLiteral(":/lyrafold/UI/")));
    }
};

LYRAFOLD_TEST_MAIN(UIAssetFilesTest)
#include "tst_uiassetfiles.moc"

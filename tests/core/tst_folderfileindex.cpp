#include "TestHarness.h"
#include "core/books/FolderFileIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Creates each relative path under root: a trailing "/" makes a folder, anything else an empty file.
void makeTree(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        if (entry.endsWith(QLatin1Char('/')))
            QVERIFY(QDir().mkpath(root + QLatin1Char('/') + entry));
        else
            TestHarness::writeFile(root + QLatin1Char('/') + entry, "%PDF-1.4\n");
    }
}

QString relativeTo(const QString &root, const std::optional<QString> &path)
{
    if (!path)
        return QStringLiteral("<none>");
    return path->startsWith(root + QLatin1Char('/')) ? path->mid(root.size() + 1) : *path;
}

// Makes a file or (with a trailing "/") a folder under root by its bytes, which need not be UTF-8.
bool makeRaw(const QString &root, const QByteArray &relative)
{
    const QByteArray path = QFile::encodeName(root) + '/' + relative;
    if (path.endsWith('/'))
        return ::mkdir(path.constData(), 0700) == 0;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    return fd >= 0 && ::close(fd) == 0;
}

} // namespace

class FolderFileIndexTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lookup_data()
    {
        QTest::addColumn<QStringList>("tree"); // under <tmp>/library; "../x" lies beside it
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected"); // relative to the library, or "<none>"

        const auto row = [](const char *name, QStringList tree, const QString &file,
                            const QString &expected) { QTest::newRow(name) << tree << file << expected; };
        row("directly in folder", {"Book.pdf"}, "Book.pdf", "Book.pdf");
        row("in a subfolder", {"a/b/Book.pdf"}, "Book.pdf", "a/b/Book.pdf");
        row("extension and name ignore case", {"sub/Book.PDF"}, "book.pdf", "sub/Book.PDF");
        row("case variant at the top", {"BOOK.pdf"}, "book.pdf", "BOOK.pdf");
        row("exact name before a case variant", {"Book.pdf", "book.pdf"}, "book.pdf", "book.pdf");
        row("first subfolder in name order", {"b/Book.pdf", "a/Book.pdf", "c/Book.pdf"}, "Book.pdf",
            "a/Book.pdf");
        row("nearer the top wins", {"a/deep/Book.pdf", "z/Book.pdf"}, "Book.pdf", "z/Book.pdf");
        row("other file directly at the name", {"notes.txt"}, "notes.txt", "notes.txt");
        row("non-pdf in a subfolder", {"sub/notes.txt"}, "notes.txt", "<none>");
        row("folder named like a book", {"sub/Book.pdf/"}, "Book.pdf", "<none>");
        row("folder at the direct path", {"Book.pdf/", "z/Book.pdf"}, "Book.pdf", "z/Book.pdf");
        row("decomposed name finds composed file", {"sub/Caf\u00e9.pdf"}, "Cafe\u0301.pdf",
            "sub/Caf\u00e9.pdf");
        row("non-ASCII case", {"sub/\u00c9T\u00c9.pdf"}, "\u00e9t\u00e9.pdf", "sub/\u00c9T\u00c9.pdf");
        row("missing", {"sub/Other.pdf"}, "Book.pdf", "<none>");
        row("path outside the folder", {"../Outside.pdf", "sub/"}, "../Outside.pdf", "<none>");
    }

    void lookup()
    {
        QFETCH(QStringList, tree);
        QFETCH(QString, fileName);
        QFETCH(QString, expected);
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/library");
        QVERIFY(QDir().mkpath(root));
        makeTree(root, tree);

        // The index must give what a single lookup gives, whether the folder is named with a slash or not.
        QCOMPARE(relativeTo(root, FolderFileIndex::resolvePathInFolder(root, fileName)), expected);
        QCOMPARE(relativeTo(root, FolderFileIndex(root).resolve(fileName)), expected);
        QCOMPARE(relativeTo(root, FolderFileIndex(root + QLatin1Char('/')).resolve(fileName)), expected);
    }

    void noFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("empty setting") << QString();
        QTest::newRow("missing folder") << TestHarness::home() + QStringLiteral("/no/such/folder");
        QTest::newRow("a file, not a folder") << TestHarness::home() + QStringLiteral("/plain.pdf");
    }

    void noFolder()
    {
        QFETCH(QString, folder);
        // The current folder holds a book: an empty setting must not look there.
        TestHarness::writeFile(TestHarness::home() + QStringLiteral("/plain.pdf"), "x");
        const QString saved = QDir::currentPath();
        QDir::setCurrent(TestHarness::home());
        QVERIFY(!FolderFileIndex::resolvePathInFolder(folder, QStringLiteral("plain.pdf")));
        QVERIFY(!FolderFileIndex(folder).resolve(QStringLiteral("plain.pdf")));
        QDir::setCurrent(saved);
    }

    void linkLoopEnds()
    {
        QTemporaryDir tmp;
        makeTree(tmp.path(), {"a/b/Deep.pdf", "books/Real.pdf"});
        QVERIFY(QFile::link(tmp.path(), tmp.path() + QStringLiteral("/a/b/up")));
        QVERIFY(QFile::link(tmp.path() + QStringLiteral("/books/Real.pdf"),
                            tmp.path() + QStringLiteral("/Linked.pdf")));
        QVERIFY(QFile::link(tmp.path() + QStringLiteral("/gone.pdf"),
                            tmp.path() + QStringLiteral("/a/Broken.pdf")));

        const FolderFileIndex index(tmp.path());
        QCOMPARE(relativeTo(tmp.path(), index.resolve(QStringLiteral("deep.pdf"))),
                 QStringLiteral("a/b/Deep.pdf"));
        QCOMPARE(relativeTo(tmp.path(), index.resolve(QStringLiteral("linked.pdf"))),
                 QStringLiteral("Linked.pdf"));
        QVERIFY(!index.resolve(QStringLiteral("Broken.pdf")));
        QCOMPARE(index.pdfCountForTesting(), 3);
        QVERIFY(!FolderFileIndex::resolvePathInFolder(tmp.path(), QStringLiteral("none.pdf")));
    }

    // An extraction's list: every PDF at any depth in walk order (the same for every walk of one tree),
    // a link loop walked once, a folder that cannot be read skipped and counted, the books whose paths
    // are not UTF-8 named (a folder of such a name without books is not).
    void listsPdfsForExtraction()
    {
        QTemporaryDir tmp;
        makeTree(tmp.path(),
                 {"z.PDF", "a.pdf", "notes.txt", "sub/b.pdf", "sub/deep/c.pdf", "locked/x.pdf", "b/d.pdf"});
        QVERIFY(QFile::link(tmp.path(), tmp.path() + QStringLiteral("/sub/up")));
        for (const char *latin1 : {"sub/Caf\xe9.pdf", "sub/Caf\xe9.txt", "Alt\xe9/", "Alt\xe9/e.pdf",
                                   "Alt\xe9/in/", "Alt\xe9/in/f.PDF", "Notes\xe9/", "Notes\xe9/n.txt"})
            QVERIFY(makeRaw(tmp.path(), latin1));
        // A link back up from a folder the walk cannot reach names nothing twice.
        QVERIFY(::symlink(QFile::encodeName(tmp.path()).constData(),
                          (QFile::encodeName(tmp.path()) + "/Alt\xe9/up").constData()) == 0);
        QCOMPARE(FolderFileIndex::listPdfs(tmp.path()).undecodableNames,
                 (QStringList{u"Alt\ufffd/e.pdf"_s, u"Alt\ufffd/in/f.PDF"_s, u"sub/Caf\ufffd.pdf"_s}));
        const QString locked = tmp.path() + QStringLiteral("/locked");
        const FolderFileIndex::FolderReader refuseLocked =
            [&](const QString &path) -> std::optional<QFileInfoList> {
            if (path == locked)
                return std::nullopt;
            return QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        };
        const FolderFileIndex::PdfListing listing = FolderFileIndex::listPdfs(tmp.path(), refuseLocked);
        QStringList relative;
        for (const QString &path : listing.paths)
            relative.append(relativeTo(tmp.path(), path));
        QCOMPARE(relative, (QStringList{"a.pdf", "z.PDF", "b/d.pdf", "sub/b.pdf", "sub/deep/c.pdf"}));
        QCOMPARE(listing.unreadableFolders, 1);
        QCOMPARE(FolderFileIndex::listPdfs(tmp.path(), refuseLocked).paths, listing.paths);
        QCOMPARE(FolderFileIndex::listPdfs(tmp.path()).paths.size(), 6);
    }
};

LYRAFOLD_TEST_MAIN(FolderFileIndexTest)
#include "tst_folderfileindex.moc"

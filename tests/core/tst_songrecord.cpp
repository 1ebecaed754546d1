#include "Fixtures.h"
#include "TestHarness.h"
#include "core/playlist/PlaylistItem.h"

#include <functional>

using Mutation = std::function<void(BookmarkEntry &)>;
Q_DECLARE_METATYPE(Mutation)
Q_DECLARE_METATYPE(BookmarkEntry)

class SongRecordTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void identityKey_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("key");

        QTest::newRow("plain") << "/Books/Standards.pdf" << qint64(12) << "Autumn Song"
                               << "/Books/Standards.pdf|12|Autumn Song";
        QTest::newRow("page zero") << "/a.pdf" << qint64(0) << "T"
                                   << "/a.pdf|0|T";
        QTest::newRow("negative page") << "/a.pdf" << qint64(-3) << "T"
                                       << "/a.pdf|-3|T";
        QTest::newRow("empty path and title") << "" << qint64(5) << ""
                                              << "|5|";
        QTest::newRow("bars kept, nothing trimmed") << " /a|b.pdf" << qint64(1) << "A | B "
                                                    << " /a|b.pdf|1|A | B ";
        // A file name from another system arrives decomposed; its key is the composed one.
        // Titles are folded on both sides: a row stored with control characters or a title of any length
        // has the key of the same title read again today.
        QTest::newRow("stored with control characters")
            << "/a.pdf" << qint64(1) << QString::fromUtf16(u"Blue\u0001 Bossa\u007F\u0000", 13)
            << "/a.pdf|1|Blue Bossa";
        QTest::newRow("stored with a line break") << "/a.pdf" << qint64(1) << "Blue\nBossa"
                                                  << "/a.pdf|1|Blue Bossa";
        QTest::newRow("stored whole at 100,000 characters")
            << "/a.pdf" << qint64(1) << QString(100000, u'A') << "/a.pdf|1|" + QString(300, u'A');
        QTest::newRow("decomposed texts")
            << QString::fromUtf8("/Cafe\xCC\x81.pdf") << qint64(2) << QString::fromUtf8("Sen\xCC\x83ora")
            << QString::fromUtf8("/Caf\xC3\xA9.pdf|2|Se\xC3\xB1ora");
    }

    void identityKey()
    {
        QFETCH(QString, path);
        QFETCH(qint64, page);
        QFETCH(QString, title);
        QFETCH(QString, key);
        const BookmarkEntry entry = Fixtures::bookmark(path, page, title);
        QCOMPARE(entry.id(), key);
        QCOMPARE(PlaylistItem::fromBookmark(entry).id(), key);
    }

    void equality_data()
    {
        QTest::addColumn<Mutation>("mutate");
        QTest::addColumn<bool>("equal");
        QTest::addColumn<bool>("sameKey");

        QTest::newRow("unchanged") << Mutation([](BookmarkEntry &) {}) << true << true;
        QTest::newRow("genre differs")
            << Mutation([](BookmarkEntry &e) { e.genre = QStringLiteral("Pop"); }) << false << true;
        QTest::newRow("rating absent vs present")
            << Mutation([](BookmarkEntry &e) { e.rating.reset(); }) << false << true;
        QTest::newRow("rating 0 vs absent")
            << Mutation([](BookmarkEntry &e) { e.rating = 0.0; }) << false << true;
        QTest::newRow("year absent") << Mutation([](BookmarkEntry &e) { e.firstReleaseYear.reset(); })
                                     << false << true;
        QTest::newRow("title case differs")
            << Mutation([](BookmarkEntry &e) { e.title = e.title.toUpper(); }) << false << false;
        QTest::newRow("title decomposed")
            << Mutation([](BookmarkEntry &e) { e.title = QString::fromUtf8("Cafe\xCC\x81"); }) << true
            << true;
        QTest::newRow("level differs") << Mutation([](BookmarkEntry &e) { e.level += 1; }) << false << true;
        QTest::newRow("youtube differs")
            << Mutation([](BookmarkEntry &e) { e.youtubeURL.clear(); }) << false << true;
        QTest::newRow("page differs")
            << Mutation([](BookmarkEntry &e) { e.pageNumber += 1; }) << false << false;
    }

    void equality()
    {
        QFETCH(Mutation, mutate);
        QFETCH(bool, equal);
        QFETCH(bool, sameKey);
        BookmarkEntry a = Fixtures::fullBookmark(4);
        a.title = QString::fromUtf8("Caf\xC3\xA9");
        BookmarkEntry b = a;
        mutate(b);
        QCOMPARE(a == b, equal);
        QCOMPARE(b == a, equal);
        QCOMPARE(a.id() == b.id(), sameKey);
        QCOMPARE(PlaylistItem::fromBookmark(a) == PlaylistItem::fromBookmark(b), equal);
    }

    void conversionKeepsEveryField_data()
    {
        QTest::addColumn<BookmarkEntry>("entry");
        QTest::newRow("all fields set") << Fixtures::fullBookmark(9);
        BookmarkEntry bare = Fixtures::bookmark(QStringLiteral("/x.pdf"), 3, QStringLiteral(" padded "));
        QTest::newRow("absent year and rating stay absent") << bare;
    }

    void conversionKeepsEveryField()
    {
        QFETCH(BookmarkEntry, entry);
        const PlaylistItem item = PlaylistItem::fromBookmark(entry);
        const BookmarkEntry back(item);
        QCOMPARE(back, entry);
        QCOMPARE(back.firstReleaseYear.has_value(), entry.firstReleaseYear.has_value());
        QCOMPARE(back.rating.has_value(), entry.rating.has_value());
        QCOMPARE(back.title, entry.title);
    }
};

LYRAFOLD_TEST_MAIN(SongRecordTest)
#include "tst_songrecord.moc"

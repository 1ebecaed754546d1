#include "TestHarness.h"
#include "core/common/AppPaths.h"
#include "core/playlist/LyfPlaylistCodec.h"
#include "core/share/PlaylistTextExport.h"

#include <QDir>

namespace {

PlaylistItem song(const QString &title, qint64 page = 12, qint64 span = 2, const QString &youtube = {},
                  const QString &spotify = {})
{
    PlaylistItem item;
    item.title = title;
    item.pdfFileName = QStringLiteral("Standards.pdf");
    item.pdfFilePath = QStringLiteral("/books/Standards.pdf");
    item.pageNumber = page;
    item.pageSpan = span;
    item.youtubeURL = youtube;
    item.spotifyURL = spotify;
    return item;
}

const QString yt = QStringLiteral("https://www.youtube.com/watch?v=x&t=1");
const QString sp = QStringLiteral("spotify:track:6rqhFgbbKwnb9MLmUQDhG6");
const QDateTime march5(QDate(2024, 3, 5), QTime(21, 0));

QString exportFolder()
{
    return AppPaths::privateTempDir().value_or(QString());
}

} // namespace

class PlaylistTextExportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QDir(exportFolder()).removeRecursively(); }

    void plainText_data()
    {
        QTest::addColumn<QList<PlaylistItem>>("items");
        QTest::addColumn<bool>("bookAndPages");
        QTest::addColumn<bool>("links");
        QTest::addColumn<QString>("text");
        const QString js = QStringLiteral("javascript:alert(1)");
        // clang-format off
        QTest::newRow("both options, YouTube only")
            << QList<PlaylistItem>{song("Blue Train", 12, 2, yt)} << true << true
            << "Friday\n\n1. Blue Train (Page 12, 2 page(s)) - Standards.pdf\n   YouTube: " + yt;
        QTest::newRow("no options: three lines")
            << QList<PlaylistItem>{song("Blue Train", 12, 2, yt)} << false << false << "Friday\n\n1. Blue Train";
        QTest::newRow("span 0 and negative count as 1")
            << QList<PlaylistItem>{song("A", 3, 0), song("B", 4, -2)} << true << false
            << "Friday\n\n1. A (Page 3, 1 page(s)) - Standards.pdf\n2. B (Page 4, 1 page(s)) - Standards.pdf";
        QTest::newRow("Spotify before YouTube")
            << QList<PlaylistItem>{song("A", 1, 1, yt, sp)} << false << true
            << "Friday\n\n1. A\n   Spotify: " + sp + "\n   YouTube: " + yt;
        QTest::newRow("no stored links: no link lines")
            << QList<PlaylistItem>{song("A"), song("B")} << false << true << "Friday\n\n1. A\n2. B";
        QTest::newRow("other schemes left out")
            << QList<PlaylistItem>{song("A", 1, 1, "file:///etc/passwd", js), song("B", 1, 1, "HTTPS://x.org/a")}
            << false << true << "Friday\n\n1. A\n2. B\n   YouTube: HTTPS://x.org/a";
        QTest::newRow("a stored title cannot forge a line")
            << QList<PlaylistItem>{song("Autumn Leaves\n   Spotify: https://evil.example/phish")} << false << true
            << "Friday\n\n1. Autumn Leaves    Spotify: https://evil.example/phish";
        QTest::newRow("a stored title loses its control characters")
            << QList<PlaylistItem>{song("Ctl\x01\x07\x1b[2J\x7f" "chars")} << false << false
            << "Friday\n\n1. Ctl[2Jchars";
        QTest::newRow("a link with a line break is left out")
            << QList<PlaylistItem>{song("A", 1, 1, "https://x.org\n   Spotify: https://evil")} << false << true
            << "Friday\n\n1. A";
        // clang-format on
    }

    void plainText()
    {
        QFETCH(QList<PlaylistItem>, items);
        QFETCH(bool, bookAndPages);
        QFETCH(bool, links);
        QFETCH(QString, text);
        QCOMPARE(PlaylistTextExport::textDetailed(items, QStringLiteral("Friday"), bookAndPages, links),
                 text);
    }

    void html_data()
    {
        QTest::addColumn<QList<PlaylistItem>>("items");
        QTest::addColumn<bool>("bookAndPages");
        QTest::addColumn<bool>("links");
        QTest::addColumn<QString>("list"); // between <ol> and </ol>
        const QString div = QStringLiteral("<div style=\"margin-top:4px;margin-left:12px;\">");
        const QString ytEscaped = QStringLiteral("https://www.youtube.com/watch?v=x&amp;t=1");
        // clang-format off
        QTest::newRow("title escaped") << QList<PlaylistItem>{song("Tom & Jerry's <Theme>")} << false << false
            << "<li>Tom &amp; Jerry&#39;s &lt;Theme&gt;</li>";
        QTest::newRow("entity escaped once more") << QList<PlaylistItem>{song("a &lt; b \"c\"")} << false << false
            << "<li>a &amp;lt; b &quot;c&quot;</li>";
        QTest::newRow("control characters gone")
            << QList<PlaylistItem>{song(QString::fromUtf16(u"Nul\u0000Byte\u0007", 9))} << false << false
            << "<li>NulByte</li>";
        QTest::newRow("book and pages") << QList<PlaylistItem>{song("A", 7, 0)} << true << false
            << "<li>A (Page 7, 1 page(s)) - Standards.pdf</li>";
        QTest::newRow("two links") << QList<PlaylistItem>{song("A", 1, 1, yt, sp)} << false << true
            << "<li>A" + div + "<a href=\"" + sp + "\">Spotify</a> &nbsp; <a href=\"" + ytEscaped + "\">YouTube</a></div></li>";
        QTest::newRow("YouTube only") << QList<PlaylistItem>{song("A", 1, 1, yt)} << false << true
            << "<li>A" + div + "<a href=\"" + ytEscaped + "\">YouTube</a></div></li>";
        QTest::newRow("links off") << QList<PlaylistItem>{song("A", 1, 1, yt)} << false << false << "<li>A</li>";
        QTest::newRow("no stored links: no block") << QList<PlaylistItem>{song("A")} << true << true
            << "<li>A (Page 12, 2 page(s)) - Standards.pdf</li>";
        QTest::newRow("javascript and file never in href")
            << QList<PlaylistItem>{song("A", 1, 1, " javascript:alert(1)", "file:///home"), song("B", 1, 1, "java\tscript:x")}
            << false << true << "<li>A</li><li>B</li>";
        QTest::newRow("quote in a link cannot leave the attribute")
            << QList<PlaylistItem>{song("A", 1, 1, "https://x.org/\"onmouseover=\"alert(1)")} << false << true
            << "<li>A" + div + "<a href=\"https://x.org/&quot;onmouseover=&quot;alert(1)\">YouTube</a></div></li>";
        // clang-format on
    }

    void html()
    {
        QFETCH(QList<PlaylistItem>, items);
        QFETCH(bool, bookAndPages);
        QFETCH(bool, links);
        QFETCH(QString, list);
        const QString page =
            PlaylistTextExport::html(items, QStringLiteral("A/B: <live>"), bookAndPages, links);
        QCOMPARE(page,
                 "<!doctype html><html><head><meta charset=\"utf-8\"><title>A/B: &lt;live&gt;</title></head>"
                 "<body><h1>A/B: &lt;live&gt;</h1><ol>" +
                     list + "</ol></body></html>");
    }

    // The searches use the title alone; the stored links play no part.
    void searchAddresses_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("query");
        QTest::newRow("ampersand") << "Night & Day"
                                   << "Night%20%26%20Day";
        QTest::newRow("blanks around") << "  Night & Day \n"
                                       << "Night%20%26%20Day";
        QTest::newRow("path and query marks") << "AC/DC? #1 + more"
                                              << "AC%2FDC%3F%20%231%20%2B%20more";
        QTest::newRow("non-ASCII letters") << "Corazón Gözlerin 愛"
                                           << "Coraz%C3%B3n%20G%C3%B6zlerin%20%E6%84%9B";
        QTest::newRow("allowed marks stay") << "Don't (stop): me!"
                                            << "Don't%20(stop):%20me!";
    }

    void searchAddresses()
    {
        QFETCH(QString, title);
        QFETCH(QString, query);
        const PlaylistItem item = song(title, 1, 1, yt, sp);
        QCOMPARE(PlaylistTextExport::effectiveSpotifyURL(item).toString(QUrl::FullyEncoded),
                 "https://open.spotify.com/search/" + query);
        QCOMPARE(PlaylistTextExport::effectiveYouTubeURL(item).toString(QUrl::FullyEncoded),
                 "https://www.youtube.com/results?search_query=" + query);
    }

    // Files land in the private folder under the dated stem; a second export that day replaces the
    // first, the next day's lies beside it; an empty playlist writes nothing.
    void builders()
    {
        const QList<PlaylistItem> items{song("Blue Train", 12, 2, yt)};
        const QString name = QStringLiteral("Rock/Pop: Live");
        const QString stem = exportFolder() + QStringLiteral("/Rock-Pop- Live_2024-03-05");

        QCOMPARE(PlaylistTextExport::buildPlaylistTextDetailed(items, name, true, true, march5),
                 stem + ".txt");
        QCOMPARE(TestHarness::readFile(stem + ".txt"),
                 PlaylistTextExport::textDetailed(items, name, true, true).toUtf8());
        QCOMPARE(PlaylistTextExport::buildPlaylistTextDetailed(items, name, false, false, march5),
                 stem + ".txt");
        QCOMPARE(TestHarness::readFile(stem + ".txt"), QByteArray("Rock/Pop: Live\n\n1. Blue Train"));
        QCOMPARE(PlaylistTextExport::buildPlaylistHTML(items, name, true, true, march5), stem + ".html");
        QVERIFY(TestHarness::readFile(stem + ".html").startsWith("<!doctype html>"));
        QCOMPARE(PlaylistTextExport::buildPlaylistLYF(name, items, march5), stem + ".lyf");
        const auto read = LyfPlaylistCodec::readBundleFile(stem + ".lyf");
        QVERIFY(read);
        QCOMPARE(read->first().name, name);

        QVERIFY(PlaylistTextExport::buildPlaylistTextDetailed(items, name, true, true, march5.addDays(1)));
        QCOMPARE(QDir(exportFolder()).entryList(QDir::Files).size(), 4);

        QVERIFY(
            !PlaylistTextExport::buildPlaylistTextDetailed({}, QStringLiteral("Empty"), true, true, march5));
        QVERIFY(!PlaylistTextExport::buildPlaylistHTML({}, QStringLiteral("Empty"), true, true, march5));
        QVERIFY(!PlaylistTextExport::buildPlaylistLYF(QStringLiteral("Empty"), {}, march5));
        QCOMPARE(QDir(exportFolder()).entryList(QDir::Files).size(), 4);
    }
};

LYRAFOLD_TEST_MAIN(PlaylistTextExportTest)
#include "tst_playlisttextexport.moc"

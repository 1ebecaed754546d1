#include "TestHarness.h"
#include "core/text/WebSearch.h"

#include <QUrlQuery>

// The search for a title must search for the whole title: nothing in it may end the path or split
// the query, at either provider.
class WebSearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void encodedQuery_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("untrimmed");
        QTest::newRow("blanks around and between")
            << QStringLiteral("  Blue Moon \n") << QStringLiteral("Blue%20Moon") << false;
        // The main window's search buttons send the title as it is stored.
        QTest::newRow("blanks kept as stored")
            << QStringLiteral("  Blue Moon \n") << QStringLiteral("%20%20Blue%20Moon%20%0A") << true;
        QTest::newRow("slash") << QStringLiteral("AC/DC") << QStringLiteral("AC%2FDC") << false;
        QTest::newRow("query delimiters")
            << QStringLiteral("Q&A = 1+1?") << QStringLiteral("Q%26A%20%3D%201%2B1%3F") << false;
        QTest::newRow("fragment and percent")
            << QStringLiteral("#1 100%") << QStringLiteral("%231%20100%25") << false;
        QTest::newRow("allowed punctuation stays") << QStringLiteral("Don't (stop): me!*,;@$")
                                                   << QStringLiteral("Don't%20(stop):%20me!*,;@$") << false;
        QTest::newRow("non-ASCII as UTF-8 bytes") << QStringLiteral("Señorita Gözlerin")
                                                  << QStringLiteral("Se%C3%B1orita%20G%C3%B6zlerin") << false;
        QTest::newRow("blanks only") << QStringLiteral(" \t\n ") << QString() << false;
    }

    void encodedQuery()
    {
        QFETCH(QString, title);
        QFETCH(QString, expected);
        QFETCH(bool, untrimmed);
        QCOMPARE(untrimmed ? WebSearch::encodedQuery(title) : WebSearch::encodedSearchQuery(title), expected);
    }

    void addressesKeepTheWholeTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("slash") << QStringLiteral("AC/DC");
        QTest::newRow("delimiters") << QStringLiteral("Q&A=? + #5 / 50%");
        QTest::newRow("non-ASCII") << QStringLiteral("Corazón ∕ 愛");
    }

    void addressesKeepTheWholeTitle()
    {
        QFETCH(QString, title);
        const QString query = WebSearch::encodedSearchQuery(title);

        // The title comes back whole from the Spotify path's last segment and the YouTube parameter.
        const QUrl spotify = WebSearch::spotifySearchURL(query);
        QCOMPARE(spotify.toEncoded(), QByteArray("https://open.spotify.com/search/") + query.toLatin1());
        QCOMPARE(spotify.path(QUrl::FullyDecoded), QStringLiteral("/search/") + title);
        QCOMPARE(spotify.path(QUrl::FullyEncoded).count(QLatin1Char('/')), 2);
        QVERIFY(!spotify.hasQuery() && !spotify.hasFragment());

        const QUrl youtube = WebSearch::youtubeSearchURL(query);
        QCOMPARE(youtube.path(), QStringLiteral("/results"));
        QVERIFY(!youtube.hasFragment());
        const QUrlQuery items(youtube);
        QCOMPARE(items.queryItems().size(), 1);
        QCOMPARE(items.queryItemValue(QStringLiteral("search_query"), QUrl::FullyDecoded), title);
    }
};

LYRAFOLD_TEST_MAIN(WebSearchTest)
#include "tst_websearch.moc"

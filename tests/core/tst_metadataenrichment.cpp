#include "LoopbackHttpServer.h"
#include "ManualClock.h"
#include "TestHarness.h"
#include "core/common/AppSettings.h"
#include "core/metadata/DiscogsAuth.h"
#include "core/metadata/MetadataEnrichmentService.h"
#include "core/metadata/MetadataWebClient.h"
#include "core/metadata/NetworkThrottle.h"
#include "core/resources/BundledResources.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>

#include <cstdio>
#include <cstring>

using namespace std::chrono_literals;
using Response = LoopbackHttpServer::Response;

Q_DECLARE_METATYPE(Response)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// Started with this argument, the program makes one request in an application of its own and ends,
// telling whether the network manager went while that application still stood.
constexpr const char *applicationEndArgument = "--application-end";

int applicationEnd(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    LoopbackHttpServer server;
    if (!server.listen())
        return 2;
    server.setHandler([](const LoopbackHttpServer::Request &) { return LoopbackHttpServer::json("{}"); });
    QObject context;
    bool answered = false;
    MetadataWebClient::getObject(server.baseUrl(), {}, 5s, &context,
                                 [&](const WebResult &) { answered = true; });
    if (!TestHarness::waitFor([&] { return answered; }, TestHarness::hangGuard))
        return 3;
    auto *manager = app.findChild<QNetworkAccessManager *>(QString(), Qt::FindDirectChildrenOnly);
    if (!manager)
        return 4;
    QObject::connect(manager, &QObject::destroyed, [] {
        std::fputs(QCoreApplication::instance() ? "before the application\n" : "after the application\n",
                   stdout);
        std::fflush(stdout);
    });
    return 0;
}

const QString recordingId = QStringLiteral("370889ee-7a70-4d0a-8f4d-e514e0494d7e");
const QByteArray lookupTarget =
    "/ws/2/recording/" + recordingId.toLatin1() + "?inc=url-rels+artist-credits&fmt=json";

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray webFixture(const QString &name)
{
    return TestHarness::readFile(TestHarness::testData(QStringLiteral("web/") + name));
}

// Hand-made: there is no saved MusicBrainz recording search answer. Its shape follows the ws/2 search
// answer: a "recordings" list whose members carry the recording's "id".
QByteArray searchAnswer(const QJsonValue &id)
{
    const QJsonObject recording{{"id", id}, {"score", 100}, {"title", "Blue Bossa"}};
    return json({{"created", "2024-01-01T00:00:00.000Z"},
                 {"count", 1},
                 {"offset", 0},
                 {"recordings", QJsonArray{recording}}});
}

QJsonArray urlRelations(const QStringList &resources)
{
    QJsonArray relations;
    for (const QString &resource : resources)
        relations.append(QJsonObject{{"type", "streaming"}, {"url", QJsonObject{{"resource", resource}}}});
    return relations;
}

// Hand-made lookup answers in the shape of the saved ones.
QByteArray lookupAnswer(const QJsonValue &date, const QJsonValue &relations = QJsonArray())
{
    return json({{"id", recordingId},
                 {"title", "Blue Bossa"},
                 {"first-release-date", date},
                 {"relations", relations}});
}

QByteArray discogsResults(const QJsonValue &results)
{
    return json({{"pagination", QJsonObject{{"page", 1}, {"pages", 1}}}, {"results", results}});
}

QByteArray discogsRelease(const QJsonValue &genre, const QJsonValue &style, const QJsonValue &year)
{
    return discogsResults(
        QJsonArray{QJsonObject{{"type", "release"}, {"genre", genre}, {"style", style}, {"year", year}}});
}

// The saved Discogs answer without its first result, an artist: the next one is a release.
QByteArray savedDiscogsReleases()
{
    QJsonObject answer =
        QJsonDocument::fromJson(webFixture(QStringLiteral("discogs/search-release-trash80.json"))).object();
    QJsonArray results = answer.value("results").toArray();
    results.removeFirst();
    answer.insert("results", results);
    return json(answer);
}

SongDataImportOptions optionsFrom(const QString &words)
{
    const QStringList w = words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return {w.contains("genre"),          w.contains("style"), w.contains("year"),
            w.contains("composer"),       w.contains("tempo"), w.contains("popularity"),
            w.contains("fillOnlyMissing")};
}

BookmarkEntry bookmark(const QString &title)
{
    BookmarkEntry e;
    e.pdfFileName = QStringLiteral("Book.pdf");
    e.pdfFilePath = QStringLiteral("/music/Book.pdf");
    e.pageNumber = 12;
    e.title = title;
    e.pageSpan = 2;
    return e;
}

// Waits for an asynchronous operation's callback; nothing when it never came, or came before the
// operation returned.
template <typename T, typename Start> std::optional<T> await(Start start)
{
    std::optional<T> result;
    QObject context;
    start(&context, [&result](T value) { result = std::move(value); });
    if (result) {
        qWarning("the callback ran inside the call");
        return std::nullopt;
    }
    if (!TestHarness::waitFor([&] { return result.has_value(); }, TestHarness::hangGuard))
        return std::nullopt;
    return result;
}

std::optional<ExternalEnrichment> musicBrainz(const QString &title, const QString &composer)
{
    return await<ExternalEnrichment>([&](QObject *context, auto done) {
        MetadataEnrichmentService::fetchMusicBrainz(title, composer, context, done);
    });
}

std::optional<ExternalEnrichment> discogs(const QString &title, const QString &artist, const QString &token)
{
    return await<ExternalEnrichment>([&](QObject *context, auto done) {
        MetadataEnrichmentService::fetchDiscogs(title, artist, token, context, done);
    });
}

using Enriched = std::pair<BookmarkEntry, LookupOutcome>;

std::optional<Enriched> enrichWithOutcome(const BookmarkEntry &entry,
                                          std::optional<SongDataImportOptions> options = {})
{
    return await<Enriched>([&](QObject *context, auto done) {
        const auto both = [done](BookmarkEntry e, LookupOutcome outcome) { done({std::move(e), outcome}); };
        if (options)
            MetadataEnrichmentService::enrichBookmark(entry, *options, context, both);
        else
            MetadataEnrichmentService::enrichBookmark(entry, context, both);
    });
}

std::optional<BookmarkEntry> enrich(const BookmarkEntry &entry,
                                    std::optional<SongDataImportOptions> options = {})
{
    const std::optional<Enriched> result = enrichWithOutcome(entry, options);
    return result ? std::optional(result->first) : std::nullopt;
}

bool foundNothing(const ExternalEnrichment &found)
{
    return !found.genre && !found.style && !found.firstReleaseYear && !found.spotifyURL && !found.youtubeURL;
}

qint64 millisecondsBetween(SteadyClock::TimePoint a, SteadyClock::TimePoint b)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

} // namespace

class MetadataEnrichmentTest : public QObject {
    Q_OBJECT

    LoopbackHttpServer m_server;
    Response m_search, m_lookup, m_discogs;

    QList<QByteArray> targets() const
    {
        QList<QByteArray> list;
        for (const auto &request : m_server.requests())
            list.append(request.target);
        return list;
    }

    // Waits until done holds, moving the test's clock to the turn of each request the throttle holds,
    // one at a time: every request but the first waits for one turn, and the clock moves only once the
    // requests let go before have arrived, so that the server stamps each with the time it was let go.
    bool runOnClock(ManualClock &clock, const std::function<bool()> &done)
    {
        for (;;) {
            if (!TestHarness::waitFor(
                    [&] {
                        return m_server.requests().size() == clock.ran() + 1 &&
                               (done() || clock.pending() > 0);
                    },
                    TestHarness::hangGuard))
                return false;
            if (done())
                return true;
            clock.advanceToNext();
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Only the loopback server is ever asked, never through a proxy from the environment.
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QVERIFY(m_server.listen());

        const QString root = TestHarness::home() + QStringLiteral("/resources");
        const QJsonObject blueBossa{{"Title", "Blue Bossa"},
                                    {"Genres", QJsonArray{"Latin", "Jazz"}},
                                    {"Styles", QJsonArray{"Bossa Nova"}},
                                    {"FirstReleaseYear", 1958},
                                    {"Composer", "Kenny Dorham"},
                                    {"Tempo", "Medium"},
                                    {"Rating", 4.5}};
        TestHarness::writeFile(root + QStringLiteral("/Bundled/default_metadata.json"),
                               QJsonDocument(QJsonArray{blueBossa}).toJson());
        BundledResources::setRootForTesting(root);
        TitleMetadataIndex::resetForTesting();
    }

    void init()
    {
        MetadataEnrichmentService::setEndpoints({m_server.baseUrl(), m_server.baseUrl(), 5s});
        NetworkThrottle::resetForTesting();
        NetworkThrottle::setMinimumGapForTesting(0ms);
        MetadataWebClient::setRetryDelayCapForTesting(0ms);
        DiscogsAuth::setUserToken(std::nullopt);
        m_server.clearRequests();
        m_server.setClock(SteadyClock::system());
        m_server.setHandler([this](const LoopbackHttpServer::Request &request) {
            const QByteArray path = request.path();
            if (path == "/ws/2/recording")
                return m_search;
            if (path.startsWith("/ws/2/recording/"))
                return m_lookup;
            if (path == "/database/search")
                return m_discogs;
            return Response{404, {}};
        });
        m_search = LoopbackHttpServer::json(searchAnswer(recordingId));
        m_lookup = LoopbackHttpServer::json(lookupAnswer("1959-08-17"));
        m_discogs =
            LoopbackHttpServer::json(discogsRelease(QJsonArray{"Blues"}, QJsonArray{"Soul-Jazz"}, 1961));
    }

    void musicBrainzSearch_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("composer");
        QTest::addColumn<QByteArray>("query"); // empty: no request at all

        QTest::newRow("quotes stripped") << "\"Autumn\" Leaves "
                                         << "" << QByteArray("recording%3A%22Autumn%20Leaves%22");
        QTest::newRow("artist clause")
            << "Night and Day"
            << "Cole \"The\" Porter"
            << QByteArray("recording%3A%22Night%20and%20Day%22%20AND%20artist%3A%22Cole%20The%20Porter%22");
        QTest::newRow("blank composer") << "Night and Day"
                                        << " \n " << QByteArray("recording%3A%22Night%20and%20Day%22");
        QTest::newRow("plus, ampersand, equals")
            << "C+C Blues"
            << "Ann & Bo="
            << QByteArray("recording%3A%22C%2BC%20Blues%22%20AND%20artist%3A%22Ann%20%26%20Bo%3D%22");
        QTest::newRow("empty title") << ""
                                     << "Cole Porter" << QByteArray();
        QTest::newRow("only quotes and blanks") << " \"\" \n"
                                                << "" << QByteArray();
    }

    void musicBrainzSearch()
    {
        QFETCH(QString, title);
        QFETCH(QString, composer);
        QFETCH(QByteArray, query);
        m_search = LoopbackHttpServer::json(json({{"recordings", QJsonArray()}}));

        const auto found = musicBrainz(title, composer);
        QVERIFY(found);
        QVERIFY(foundNothing(*found));
        if (query.isEmpty()) {
            QVERIFY(m_server.requests().isEmpty());
            return;
        }
        QCOMPARE(targets(), QList<QByteArray>{"/ws/2/recording?query=" + query + "&fmt=json&limit=3"});
        const auto &request = m_server.requests().first();
        QCOMPARE(request.headers.value("user-agent"), MetadataWebClient::userAgent());
        QVERIFY(request.headers.value("user-agent").startsWith("Lyrafold/"));
        QVERIFY(!request.headers.contains("authorization"));
    }

    void musicBrainzLookup_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("year"); // 0: none
        QTest::addColumn<QString>("spotify");
        QTest::addColumn<QString>("youtube");

        QTest::newRow("saved, video") << webFixture("musicbrainz/lookup-recording-video.json") << 2008 << ""
                                      << "https://www.youtube.com/watch?v=O_HwMrrJ4M4";
        QTest::newRow("saved, year only")
            << webFixture("musicbrainz/lookup-recording-year-only.json") << 1972 << ""
            << "";
        QTest::newRow("full date") << lookupAnswer("1959-08-17") << 1959 << ""
                                   << "";
        QTest::newRow("three digits") << lookupAnswer("195") << 0 << ""
                                      << "";
        QTest::newRow("circa") << lookupAnswer("c.1959") << 0 << ""
                               << "";
        QTest::newRow("capitalised short link")
            << lookupAnswer("1959", urlRelations({"HTTPS://YOUTU.BE/AbC"})) << 1959 << ""
            << "HTTPS://YOUTU.BE/AbC";
        QTest::newRow("both hosts in one resource")
            << lookupAnswer("", urlRelations({"https://open.spotify.com/track/1?from=youtube.com"})) << 0
            << "https://open.spotify.com/track/1?from=youtube.com"
            << "https://open.spotify.com/track/1?from=youtube.com";
        QTest::newRow("first of each kind wins")
            << lookupAnswer(
                   "", urlRelations({"https://www.youtube.com/watch?v=1", "https://open.spotify.com/track/a",
                                     "https://youtu.be/2", "https://open.spotify.com/track/b"}))
            << 0 << "https://open.spotify.com/track/a"
            << "https://www.youtube.com/watch?v=1";
        QJsonArray notAllObjects = urlRelations({"https://youtu.be/z"});
        notAllObjects.append(7);
        QTest::newRow("relations not all objects") << lookupAnswer("1959", notAllObjects) << 1959 << ""
                                                   << "";
    }

    void musicBrainzLookup()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, year);
        QFETCH(QString, spotify);
        QFETCH(QString, youtube);
        m_lookup = LoopbackHttpServer::json(answer);

        const auto found = musicBrainz(QStringLiteral("Blue Bossa"), QString());
        QVERIFY(found);
        QCOMPARE(targets().value(1), lookupTarget);
        QCOMPARE(found->firstReleaseYear, year ? std::optional<qint64>(year) : std::nullopt);
        QCOMPARE(found->spotifyURL.value_or(QString()), spotify);
        QCOMPARE(found->youtubeURL.value_or(QString()), youtube);
        QVERIFY(!found->genre && !found->style);
    }

    void recordingIdInPath_data()
    {
        QTest::addColumn<QByteArray>("searchBody");
        QTest::addColumn<QByteArray>("lookup"); // empty: no lookup

        QTest::newRow("MBID") << searchAnswer(recordingId) << lookupTarget;
        QTest::newRow("path and query characters escaped")
            << searchAnswer("../../admin?x=1#y")
            << QByteArray("/ws/2/recording/..%2F..%2Fadmin%3Fx%3D1%23y?inc=url-rels+artist-credits&fmt=json");
        QTest::newRow("dot segment") << searchAnswer("..") << QByteArray();
        QTest::newRow("empty id") << searchAnswer("") << QByteArray();
        QTest::newRow("id not a text") << searchAnswer(42) << QByteArray();
        QTest::newRow("no recordings") << json({{"recordings", QJsonArray()}}) << QByteArray();
    }

    void recordingIdInPath()
    {
        QFETCH(QByteArray, searchBody);
        QFETCH(QByteArray, lookup);
        m_search = LoopbackHttpServer::json(searchBody);

        const auto found = musicBrainz(QStringLiteral("Blue Bossa"), QString());
        QVERIFY(found);
        QCOMPARE(targets().size(), lookup.isEmpty() ? 1 : 2);
        if (!lookup.isEmpty()) {
            QCOMPARE(targets().at(1), lookup);
            QCOMPARE(found->firstReleaseYear, std::optional<qint64>(1959));
        }
    }

    void failuresGiveNothing_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<Response>("answer");

        const std::pair<const char *, Response> answers[] = {
            {"404", {404, json({{"error", "Not Found"}})}},
            {"503", {503, json({{"error", "busy"}})}},
            {"not JSON", {200, "<html>rate limited</html>", "text/html"}},
            {"top-level array", {200, "[{\"recordings\": [], \"results\": []}]"}},
            {"timeout", {200, {}, {}, true}},
        };
        // A failed lookup also throws away the recording that the search found.
        for (const char *service : {"search", "lookup", "discogs"}) {
            for (const auto &[name, answer] : answers)
                QTest::addRow("%s %s", service, name) << QString::fromLatin1(service) << answer;
        }
    }

    void failuresGiveNothing()
    {
        QFETCH(QString, service);
        QFETCH(Response, answer);
        // A server that never answers is given up on sooner than one that answers is waited for.
        MetadataEnrichmentService::setEndpoints(
            {m_server.baseUrl(), m_server.baseUrl(), answer.silent ? 50ms : 300ms});
        (service == "search" ? m_search : service == "lookup" ? m_lookup : m_discogs) = answer;

        const auto found = service == "discogs" ? discogs("Blue Bossa", "Kenny Dorham", "abc")
                                                : musicBrainz("Blue Bossa", "Kenny Dorham");
        QVERIFY(found);
        QVERIFY(foundNothing(*found));
        QVERIFY(found->failure);
        // A busy server is asked once more.
        QCOMPARE(targets().size(), (service == "lookup" ? 2 : 1) + (answer.status == 503 && !answer.silent));
    }

    // A lookup tells whether it found something, found nothing, or failed, and why; a busy server
    // (429, 503) is asked once more and its second answer counts. A web source that failed makes the
    // lookup failed even when the built-in record filled fields.
    void lookupOutcomes_data()
    {
        QTest::addColumn<Response>("firstSearch");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("searches");
        using K = LookupOutcome::Kind;
        const Response found = LoopbackHttpServer::json(searchAnswer(recordingId));
        const QString notIndexed = QStringLiteral("Autumn Leaves");
        QTest::newRow("found") << found << false << notIndexed << int(K::found) << 1;
        QTest::newRow("nothing found") << LoopbackHttpServer::json(json({{"recordings", QJsonArray()}}))
                                       << false << notIndexed << int(K::nothingFound) << 1;
        QTest::newRow("503, then an answer")
            << Response{503, {}} << false << notIndexed << int(K::found) << 2;
        QTest::newRow("429 with Retry-After, then an answer")
            << Response{429, {}, "application/json", false, 0ms, {}, "1"} << false << notIndexed
            << int(K::found) << 2;
        QTest::newRow("offline") << found << true << notIndexed << int(K::failed) << 0;
        QTest::newRow("offline, the built-in record fills")
            << found << true << QStringLiteral("Blue Bossa") << int(K::failed) << 0;
    }

    void lookupOutcomes()
    {
        QFETCH(Response, firstSearch);
        QFETCH(bool, offline);
        QFETCH(QString, title);
        QFETCH(int, kind);
        QFETCH(int, searches);
        const Response answer = LoopbackHttpServer::json(searchAnswer(recordingId));
        m_server.setHandler([&](const LoopbackHttpServer::Request &request) {
            if (request.path() != "/ws/2/recording")
                return m_lookup;
            const bool first =
                std::count_if(m_server.requests().cbegin(), m_server.requests().cend(),
                              [](const auto &r) { return r.path() == "/ws/2/recording"; }) == 1;
            return first ? firstSearch : answer;
        });
        if (offline) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            const QUrl nowhere(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
            closed.close();
            MetadataEnrichmentService::setEndpoints({nowhere, nowhere, 2s});
        }
        BookmarkEntry entry = bookmark(title);
        const std::optional<Enriched> result = enrichWithOutcome(entry);
        QVERIFY(result);
        QCOMPARE(int(result->second.kind), kind);
        QCOMPARE(result->second.unreachable, offline);
        QCOMPARE(result->second.filled, !(result->first == entry));
        const auto searched = std::count_if(m_server.requests().cbegin(), m_server.requests().cend(),
                                            [](const auto &r) { return r.path() == "/ws/2/recording"; });
        QCOMPARE(searched, searches);
    }

    void retryDelay_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("none") << QByteArray() << 1000;
        QTest::newRow("seconds") << QByteArray("3") << 3000;
        QTest::newRow("bounded") << QByteArray("120") << 10000;
        QTest::newRow("a date") << QByteArray("Wed, 21 Oct 2026 07:28:00 GMT") << 1000;
    }

    void retryDelay()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(int, milliseconds);
        MetadataWebClient::setRetryDelayCapForTesting(10s);
        QCOMPARE(MetadataWebClient::retryDelay(retryAfter).count(), milliseconds);
    }

    // The client tells its callers why a request gave no object; the enrichment above keeps to empty
    // results (failuresGiveNothing).
    void clientTellsWhyNothingCame_data()
    {
        QTest::addColumn<Response>("answer");
        QTest::addColumn<int>("kind"); // -1: an object came
        QTest::addColumn<int>("status");
        using K = WebError::Kind;
        QTest::newRow("object") << Response{200, json({{"recordings", QJsonArray()}})} << -1 << 0;
        QTest::newRow("404") << Response{404, json({{"error", "Not Found"}})} << int(K::httpStatus) << 404;
        QTest::newRow("503") << Response{503, {}} << int(K::httpStatus) << 503;
        QTest::newRow("not JSON") << Response{200, "<html>rate limited</html>", "text/html"}
                                  << int(K::unreadableAnswer) << 0;
        QTest::newRow("top-level array") << Response{200, "[]"} << int(K::unreadableAnswer) << 0;
        QTest::newRow("timeout") << Response{200, {}, {}, true} << int(K::timeout) << 0;
    }

    void clientTellsWhyNothingCame()
    {
        QFETCH(Response, answer);
        QFETCH(int, kind);
        QFETCH(int, status);
        m_search = answer;
        std::optional<WebResult> result;
        QObject context;
        // A server that never answers is given up on sooner than one that answers is waited for.
        MetadataWebClient::getObject(m_server.baseUrl().resolved(QUrl("/ws/2/recording")), {},
                                     answer.silent ? 50ms : 300ms, &context,
                                     [&](const WebResult &r) { result = r; });
        WAIT_VERIFY(result);
        QCOMPARE(result->object.has_value(), kind < 0);
        if (kind >= 0) {
            QCOMPARE(int(result->error.kind), kind);
            QCOMPARE(result->error.httpStatus, status);
            QVERIFY(!result->error.message.isEmpty());
        }
    }

    void discogsRequest_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QByteArray>("q"); // empty: no request
        QTest::addColumn<QByteArray>("authorization");

        QTest::newRow("artist first")
            << "Blue Bossa"
            << "Kenny Dorham"
            << "abc" << QByteArray("Kenny%20Dorham%20Blue%20Bossa") << QByteArray("Discogs token=abc");
        QTest::newRow("title trimmed, quotes kept")
            << " \"Blue\" Bossa\n"
            << ""
            << "abc" << QByteArray("%22Blue%22%20Bossa") << QByteArray("Discogs token=abc");
        QTest::newRow("plus encoded, no token, no header") << "C+C"
                                                           << ""
                                                           << "" << QByteArray("C%2BC") << QByteArray();
        QTest::newRow("blank title") << "  "
                                     << "Kenny Dorham"
                                     << "abc" << QByteArray() << QByteArray();
        QTest::newRow("token that would break the header")
            << "Blue Bossa"
            << ""
            << "abc\r\nX-Extra: 1" << QByteArray() << QByteArray();
    }

    void discogsRequest()
    {
        QFETCH(QString, title);
        QFETCH(QString, artist);
        QFETCH(QString, token);
        QFETCH(QByteArray, q);
        QFETCH(QByteArray, authorization);

        QVERIFY(discogs(title, artist, token));
        if (q.isEmpty()) {
            QVERIFY(m_server.requests().isEmpty());
            return;
        }
        QCOMPARE(targets(), QList<QByteArray>{"/database/search?q=" + q + "&type=release&per_page=3"});
        const auto &headers = m_server.requests().first().headers;
        QCOMPARE(headers.value("authorization"), authorization);
        QCOMPARE(headers.value("user-agent"), MetadataWebClient::userAgent());
    }

    // A redirect is followed with the token only to the same origin (scheme, host and port).
    void discogsTokenStaysWithItsHost_data()
    {
        QTest::addColumn<bool>("sameHost");
        QTest::newRow("same origin") << true;
        QTest::newRow("other origin") << false;
    }

    void discogsTokenStaysWithItsHost()
    {
        QFETCH(bool, sameHost);
        LoopbackHttpServer other;
        QVERIFY(other.listen());
        other.setHandler([this](const LoopbackHttpServer::Request &) { return m_discogs; });
        const QUrl target = (sameHost ? m_server.baseUrl() : other.baseUrl()).resolved(QUrl("/elsewhere"));
        const Response discogsAnswer = m_discogs;
        m_server.setHandler([&](const LoopbackHttpServer::Request &request) {
            if (request.path() == "/elsewhere")
                return discogsAnswer;
            Response redirect{302, {}};
            redirect.location = target.toEncoded();
            return redirect;
        });

        const std::optional<ExternalEnrichment> found = discogs("Blue Bossa", "", "abc");
        QVERIFY(other.requests().isEmpty());
        // Qt's client at times sends the search twice on its connection before it takes a redirect
        // that came at once: the redirected requests are counted.
        const auto redirected =
            std::count_if(m_server.requests().cbegin(), m_server.requests().cend(),
                          [](const LoopbackHttpServer::Request &r) { return r.path() == "/elsewhere"; });
        QCOMPARE(redirected, sameHost ? 1 : 0);
        QCOMPARE(m_server.requests().last().headers.value("authorization"), QByteArray("Discogs token=abc"));
        QCOMPARE(found.has_value() && found->genre.has_value(), sameHost);
    }

    void discogsAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("genre"); // null: absent
        QTest::addColumn<QString>("style");
        QTest::addColumn<int>("year"); // 0: none

        QTest::newRow("saved, first result an artist")
            << webFixture("discogs/search-release-trash80.json") << QString() << QString() << 0;
        QTest::newRow("saved release, year as text") << savedDiscogsReleases() << "Electronic"
                                                     << "Electro, Chiptune" << 2008;
        QTest::newRow("lists joined, year as number")
            << discogsRelease(QJsonArray{"Latin", "Blues"}, QJsonArray{"Bossa Nova"}, 1959) << "Latin, Blues"
            << "Bossa Nova" << 1959;
        QTest::newRow("texts as they are") << discogsRelease("Jazz", "Cool Jazz", "1959") << "Jazz"
                                           << "Cool Jazz" << 1959;
        QTest::newRow("list with a number")
            << discogsRelease(QJsonArray{"Jazz", 3}, 4, QJsonValue()) << QString() << QString() << 0;
        QTest::newRow("year with a fraction")
            << discogsRelease(QJsonValue(), QJsonValue(), 1959.5) << QString() << QString() << 0;
        QTest::newRow("year as other text")
            << discogsRelease(QJsonValue(), QJsonValue(), "c.1959") << QString() << QString() << 0;
        QTest::newRow("no results") << discogsResults(QJsonArray()) << QString() << QString() << 0;
    }

    void discogsAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, genre);
        QFETCH(QString, style);
        QFETCH(int, year);
        m_discogs = LoopbackHttpServer::json(answer);

        const auto found = discogs("Blue Bossa", "", "abc");
        QVERIFY(found);
        QCOMPARE(found->genre, genre.isNull() ? std::nullopt : std::optional<QString>(genre));
        QCOMPARE(found->style, style.isNull() ? std::nullopt : std::optional<QString>(style));
        QCOMPARE(found->firstReleaseYear, year ? std::optional<qint64>(year) : std::nullopt);
        QVERIFY(!found->spotifyURL && !found->youtubeURL);
    }

    void discogsToken_data()
    {
        QTest::addColumn<std::optional<QString>>("input");
        QTest::addColumn<std::optional<QString>>("stored");

        QTest::newRow("trimmed") << std::optional<QString>(" \tabc123 \n")
                                 << std::optional<QString>("abc123");
        QTest::newRow("blanks only") << std::optional<QString>("  \n ") << std::optional<QString>();
        QTest::newRow("no value") << std::optional<QString>() << std::optional<QString>();
    }

    void discogsToken()
    {
        QFETCH(std::optional<QString>, input);
        QFETCH(std::optional<QString>, stored);
        DiscogsAuth::setUserToken(QStringLiteral("old"));

        DiscogsAuth::setUserToken(input);
        QCOMPARE(DiscogsAuth::userToken(), stored);
        QCOMPARE(AppSettings::contains(AppSettings::discogsUserTokenKey), stored.has_value());
        if (stored)
            QCOMPARE(AppSettings::stringValue(AppSettings::discogsUserTokenKey), *stored);
    }

    void enrichFillsEmptyFields()
    {
        m_lookup = LoopbackHttpServer::json(
            lookupAnswer("1963", urlRelations({"https://open.spotify.com/track/bb", "https://youtu.be/bb"})));
        BookmarkEntry entry = bookmark(QStringLiteral("The Blue Bossa"));
        entry.style = QStringLiteral("Hard Bop");
        entry.youtubeURL = QStringLiteral("https://youtu.be/own");

        auto result = enrich(entry);
        QVERIFY(result);
        // Without a token only MusicBrainz is asked, with the composer as the bookmark had it.
        QCOMPARE(targets().size(), 2);
        QVERIFY(!m_server.requests().first().queryValue("query").contains("artist:"));
        BookmarkEntry expected = entry;
        expected.genre = QStringLiteral("Latin, Jazz");
        expected.firstReleaseYear = 1958;
        expected.composer = QStringLiteral("Kenny Dorham");
        expected.tempo = QStringLiteral("Medium");
        expected.rating = 4.5;
        expected.spotifyURL = QStringLiteral("https://open.spotify.com/track/bb");
        QCOMPARE(*result, expected);

        // A title without an index record: MusicBrainz's year comes before Discogs's, and Discogs
        // fills genre and style, searched with the bookmark's composer.
        DiscogsAuth::setUserToken(QStringLiteral("tok"));
        m_server.clearRequests();
        entry = bookmark(QStringLiteral("Unknown Tune"));
        entry.composer = QStringLiteral("Ann Bo");
        result = enrich(entry);
        QVERIFY(result);
        QCOMPARE(targets().size(), 3);
        QCOMPARE(m_server.requests().at(2).queryValue("q"), QStringLiteral("Ann Bo Unknown Tune"));
        QCOMPARE(result->genre, QStringLiteral("Blues"));
        QCOMPARE(result->style, QStringLiteral("Soul-Jazz"));
        QCOMPARE(result->firstReleaseYear, 1963);

        // No recording found: one request to MusicBrainz only.
        DiscogsAuth::setUserToken(std::nullopt);
        m_server.clearRequests();
        m_search = LoopbackHttpServer::json(json({{"recordings", QJsonArray()}}));
        QVERIFY(enrich(entry));
        QCOMPARE(targets().size(), 1);
    }

    void yearPrecedence_data()
    {
        QTest::addColumn<bool>("token");
        QTest::addColumn<bool>("fillOnlyMissing");
        QTest::addColumn<int>("ownYear"); // 0: none
        QTest::addColumn<int>("expected");

        QTest::newRow("overwrite, token: Discogs last") << true << false << 0 << 1961;
        QTest::newRow("overwrite, no token: MusicBrainz") << false << false << 1957 << 1959;
        QTest::newRow("fill, own year kept") << true << true << 1957 << 1957;
        QTest::newRow("fill, index first") << true << true << 0 << 1958;
    }

    void yearPrecedence()
    {
        QFETCH(bool, token);
        QFETCH(bool, fillOnlyMissing);
        QFETCH(int, ownYear);
        QFETCH(int, expected);
        if (token)
            DiscogsAuth::setUserToken(QStringLiteral("tok"));
        BookmarkEntry entry = bookmark(QStringLiteral("Blue Bossa"));
        if (ownYear)
            entry.firstReleaseYear = ownYear;

        const auto result =
            enrich(entry, optionsFrom(fillOnlyMissing ? "year composer fillOnlyMissing" : "year composer"));
        QVERIFY(result);
        QCOMPARE(result->firstReleaseYear, expected);
        // With a column choice MusicBrainz is searched with the composer the index filled in.
        QCOMPARE(m_server.requests().first().queryValue("query"),
                 QStringLiteral("recording:\"Blue Bossa\" AND artist:\"Kenny Dorham\""));
        QVERIFY(result->genre.isEmpty() && result->spotifyURL.isEmpty());
    }

    void optionColumns_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("token");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("genre");
        QTest::addColumn<QString>("tempo");

        QTest::newRow("tempo only: no web request") << "Blue Bossa"
                                                    << "tempo" << true << 0 << "Pop"
                                                    << "Medium";
        QTest::newRow("genre, no token, no record: unchanged") << "Unknown Tune"
                                                               << "genre" << false << 0 << "Pop"
                                                               << "";
        QTest::newRow("genre overwritten by Discogs") << "Blue Bossa"
                                                      << "genre" << true << 1 << "Blues"
                                                      << "";
        QTest::newRow("genre kept when filling") << "Blue Bossa"
                                                 << "genre fillOnlyMissing" << true << 1 << "Pop"
                                                 << "";
    }

    void optionColumns()
    {
        QFETCH(QString, title);
        QFETCH(QString, options);
        QFETCH(bool, token);
        QFETCH(int, requests);
        QFETCH(QString, genre);
        QFETCH(QString, tempo);
        if (token)
            DiscogsAuth::setUserToken(QStringLiteral("tok"));
        BookmarkEntry entry = bookmark(title);
        entry.genre = QStringLiteral("Pop");

        const auto result = enrich(entry, optionsFrom(options));
        QVERIFY(result);
        QCOMPARE(targets().size(), requests);
        BookmarkEntry expected = entry;
        expected.genre = genre;
        expected.tempo = tempo;
        QCOMPARE(*result, expected);
    }

    void failingServicesKeepIndexValues()
    {
        DiscogsAuth::setUserToken(QStringLiteral("tok"));
        m_lookup = Response{503, {}};
        m_discogs = Response{404, {}};
        const auto result = enrich(bookmark(QStringLiteral("Blue Bossa")), optionsFrom("genre style year"));
        QVERIFY(result);
        QCOMPARE(targets().size(), 4); // the busy lookup asked twice
        QCOMPARE(result->genre, QStringLiteral("Latin, Jazz"));
        QCOMPARE(result->style, QStringLiteral("Bossa Nova"));
        QCOMPARE(result->firstReleaseYear, 1958);
    }

    void destroyedContextAbandonsTheLookup()
    {
        NetworkThrottle::setMinimumGapForTesting(100ms);
        const qsizetype first = m_server.requests().size();
        QVERIFY(musicBrainz(QStringLiteral("Blue Bossa"), QString()));
        const qsizetype before = m_server.requests().size();

        bool called = false;
        auto *context = new QObject;
        MetadataEnrichmentService::enrichBookmark(bookmark(QStringLiteral("Blue Bossa")), context,
                                                  [&called](BookmarkEntry, LookupOutcome) { called = true; });
        delete context;
        // A lookup asked for later gets a later turn: once it is answered, the abandoned one's turn
        // has passed.
        QVERIFY(musicBrainz(QStringLiteral("Blue Bossa"), QString()));
        QVERIFY(!called);
        QCOMPARE(m_server.requests().size(), before + (before - first));
    }

    void destroyedContextAbandonsARequestInFlight()
    {
        // The context goes while the server still holds the request: the aborted reply must not
        // reach a callback whose owner is being destroyed.
        m_discogs = Response{200, {}, "application/json", true};
        bool called = false;
        auto *context = new QObject;
        MetadataEnrichmentService::fetchDiscogs("A", "", "tok", context,
                                                [&called](ExternalEnrichment) { called = true; });
        QVERIFY(TestHarness::waitFor([&] { return !m_server.requests().isEmpty(); }, TestHarness::hangGuard));
        delete context;
        TestHarness::settleWorkers();
        QVERIFY(!called);
    }

    // The spacing is kept on a clock of the test's own: a request that waits goes only when the test
    // moves the time to its turn, so the gap is checked to the millisecond however loaded the machine.
    void throttleSpacesRequestStarts()
    {
        NetworkThrottle::resetForTesting();
        QCOMPARE(NetworkThrottle::minimumGap(), 1150ms);
        ManualClock clock;
        NetworkThrottle::setClockForTesting(&clock);
        m_server.setClock(clock);
        const auto systemClock = qScopeGuard([this] {
            NetworkThrottle::resetForTesting();
            m_server.setClock(SteadyClock::system());
        });
        DiscogsAuth::setUserToken(QStringLiteral("tok"));

        // An empty title does not take a turn: the next request passes at once.
        QVERIFY(musicBrainz(QString(), QString()));
        const SteadyClock::TimePoint started = clock.now();
        QObject context;
        bool enriched = false;
        MetadataEnrichmentService::enrichBookmark(bookmark(QStringLiteral("Blue Bossa")), &context,
                                                  [&](BookmarkEntry, LookupOutcome) { enriched = true; });
        QVERIFY(runOnClock(clock, [&] { return enriched; }));
        // Two callers that wait at the same moment are spaced as well.
        std::optional<ExternalEnrichment> first, second;
        MetadataEnrichmentService::fetchDiscogs("A", "", "tok", &context,
                                                [&](ExternalEnrichment e) { first = e; });
        MetadataEnrichmentService::fetchDiscogs("B", "", "tok", &context,
                                                [&](ExternalEnrichment e) { second = e; });
        QVERIFY(runOnClock(clock, [&] { return first && second; }));

        const auto &requests = m_server.requests();
        QCOMPARE(requests.size(), 5);
        QCOMPARE(clock.ran(), 4);
        QCOMPARE(millisecondsBetween(started, requests.first().arrival), 0);
        for (qsizetype i = 1; i < requests.size(); ++i)
            QVERIFY2(millisecondsBetween(requests[i - 1].arrival, requests[i].arrival) == 1150,
                     qPrintable(QString::number(i)));
    }

    // Turns that a busy event loop runs late, two in one pass, still let their requests go a gap apart.
    void lateTurnsStaySpaced()
    {
        NetworkThrottle::resetForTesting();
        ManualClock clock;
        NetworkThrottle::setClockForTesting(&clock);
        const auto systemClock = qScopeGuard([] { NetworkThrottle::resetForTesting(); });
        QObject context;
        QList<SteadyClock::TimePoint> went;
        for (int i = 0; i < 3; ++i)
            NetworkThrottle::waitMusicBrainz(&context, [&] { went.append(clock.now()); });
        QCoreApplication::sendPostedEvents(&context);
        QCOMPARE(went.size(), 1);
        clock.jump(5s);
        QCOMPARE(went.size(), 2);
        QCOMPARE(millisecondsBetween(went[0], went[1]), 5000);
        QVERIFY(clock.advanceToNext());
        QCOMPARE(went.size(), 3);
        QCOMPARE(millisecondsBetween(went[1], went[2]), 1150);
    }

    // The manager's HTTP thread stops while the application still stands. Stopped later, it could
    // deliver an event as the application clears its instance, and the process crashed on its way out.
    void networkManagerEndsBeforeTheApplication()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(applicationEndArgument)});
        QVERIFY(child.waitForFinished(TestHarness::hangGuardMs));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("before the application\n"));
    }
};

LYRAFOLD_TEST_RUNNER(runTests, QCoreApplication, MetadataEnrichmentTest)

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], applicationEndArgument) == 0)
        return applicationEnd(argc, argv);
    return runTests(argc, argv);
}

#include "tst_metadataenrichment.moc"

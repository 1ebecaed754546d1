// lyrafold-songdata-shot: the main window over a demo profile with one of the song metadata scenes on
// screen, and "ready" printed once it is drawn, so that scripts/songdata-screenshots.sh can photograph
// the screen. The metadata services are played by a loopback server on this computer.
//
//   lyrafold-songdata-shot --scene column-dialog|sheet|after-run [--size WIDTHxHEIGHT] [--language en|tr|es]
//
// Run it on a profile made by lyrafold-demo-profile: the scenes work on a copy of its Default slot in
// Slot 1 without the metadata, so that the run has something to fill.

#include "LoopbackHttpServer.h"
#include "core/metadata/AutoTagRun.h"
#include "core/metadata/MetadataEnrichmentService.h"
#include "core/metadata/NetworkThrottle.h"
#include "core/slotfiles/SlotStore.h"
#include "ui/app/AppContext.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/metadata/AutoTagFlow.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QTimer>

#include <cstdio>
#include <numeric>

using namespace std::chrono_literals;

namespace {

void ready()
{
    std::puts("ready");
    std::fflush(stdout);
}

// The Default slot's songs in Slot 1 without their metadata, as the active slot.
void prepareSlot()
{
    BookmarkList rows = SlotStore::loadSlot(0);
    for (BookmarkEntry &row : rows) {
        row.genre.clear();
        row.style.clear();
        row.firstReleaseYear.reset();
        row.composer.clear();
        row.tempo.clear();
        row.rating.reset();
        row.spotifyURL.clear();
        row.youtubeURL.clear();
    }
    SlotStore::saveSlot(1, rows, SlotStore::selectedFolder(0));
    SlotStore::saveMeta(SlotMeta{1, {}});
}

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Every title is found: a recording, released in a year of its own, with a Spotify and a YouTube link.
LoopbackHttpServer::Response answer(const LoopbackHttpServer::Request &request,
                                    std::chrono::milliseconds delay)
{
    static const QString id = QStringLiteral("370889ee-7a70-4d0a-8f4d-e514e0494d7e");
    LoopbackHttpServer::Response response;
    if (request.path() == "/ws/2/recording") {
        response = LoopbackHttpServer::json(json({{"recordings", QJsonArray{QJsonObject{{"id", id}}}}}));
    } else {
        const int year = 1930 + int(qHash(request.target) % 60);
        const QJsonArray relations{
            QJsonObject{{"url", QJsonObject{{"resource", "https://open.spotify.com/track/demo"}}}},
            QJsonObject{{"url", QJsonObject{{"resource", "https://www.youtube.com/watch?v=demo"}}}}};
        response = LoopbackHttpServer::json(
            json({{"id", id}, {"first-release-date", QString::number(year)}, {"relations", relations}}));
    }
    response.delay = delay;
    return response;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lyrafold"));
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("scene"), QStringLiteral("column-dialog, sheet or after-run."),
         QStringLiteral("scene"), QStringLiteral("column-dialog")},
        {QStringLiteral("size"), QStringLiteral("The window size."), QStringLiteral("WxH")},
        {QStringLiteral("language"), QStringLiteral("The interface language."), QStringLiteral("code")},
    });
    parser.process(app);
    if (const std::optional<LyrafoldLanguage> language =
            LyrafoldLanguageService::languageFromRawValue(parser.value(QStringLiteral("language"))))
        LyrafoldLanguageService::setCurrent(*language);
    const QString scene = parser.value(QStringLiteral("scene"));

    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    LoopbackHttpServer server;
    if (!server.listen())
        return 1;
    // The sheet is photographed while a lookup waits; the finished table comes at once.
    const std::chrono::milliseconds delay = scene == QLatin1String("sheet") ? 1000ms : 0ms;
    server.setHandler([delay](const LoopbackHttpServer::Request &request) { return answer(request, delay); });
    MetadataEnrichmentService::setEndpoints({server.baseUrl(), server.baseUrl(), 10s});
    NetworkThrottle::setMinimumGapForTesting(0ms);

    prepareSlot();
    AppContext context;
    MainWindowController window(context);
    const QStringList size = parser.value(QStringLiteral("size")).split(QLatin1Char('x'));
    if (size.size() == 2)
        window.resize(size[0].toInt(), size[1].toInt());
    window.show();

    const auto everyRow = [&context] {
        QList<qsizetype> positions(context.library().allBookmarks().size());
        std::iota(positions.begin(), positions.end(), qsizetype(0));
        return positions;
    };
    QTimer::singleShot(1500, &window, [&] {
        if (scene == QLatin1String("column-dialog")) {
            QTimer::singleShot(700, &window, ready);
            window.findChild<AutoTagFlow *>()->importSongData();
            return;
        }
        const SongDataImportOptions allColumns{true, true, true, true, true, true, true};
        window.findChild<AutoTagFlow *>()->startRun(
            everyRow(), scene == QLatin1String("sheet") ? std::optional<SongDataImportOptions>(allColumns)
                                                        : std::nullopt);
        auto *run = window.findChild<AutoTagRun *>();
        if (scene == QLatin1String("sheet")) {
            QObject::connect(run, &AutoTagRun::titleTagged, &window, [&window](qsizetype done) {
                if (done == 2)
                    QTimer::singleShot(500, &window, ready);
            });
            return;
        }
        QObject::connect(run, &AutoTagRun::finished, &window,
                         [&window] { QTimer::singleShot(800, &window, ready); });
    });
    return app.exec();
}

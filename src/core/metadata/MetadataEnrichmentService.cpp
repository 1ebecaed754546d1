#include "core/metadata/MetadataEnrichmentService.h"

#include "core/metadata/DiscogsAuth.h"
#include "core/metadata/MetadataWebClient.h"
#include "core/text/TextUtils.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QJsonArray>
#include <QMutex>
#include <QPointer>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

const QString listSeparator = QStringLiteral(", ");

struct EndpointState {
    QMutex lock;
    MetadataEnrichmentService::Endpoints endpoints;
};

EndpointState &endpointState()
{
    static EndpointState instance;
    return instance;
}

// The base address's own path, if any, comes first.
QUrl serviceUrl(const QUrl &base, const QString &encodedPath, const QString &encodedQuery)
{
    QUrl url = base;
    QString path = base.path(QUrl::FullyEncoded);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + encodedPath, QUrl::TolerantMode);
    url.setQuery(encodedQuery, QUrl::TolerantMode);
    url.setFragment(QString());
    return url;
}

QString withoutQuotes(const QString &text)
{
    QString t = text;
    t.remove(QLatin1Char('"'));
    return TextUtils::trimmed(t);
}

bool isListOfObjects(const QJsonValue &value)
{
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    return std::all_of(array.begin(), array.end(), [](const QJsonValue &v) { return v.isObject(); });
}

// The first element of a non-empty list of objects held under key.
std::optional<QJsonObject> firstObjectOf(const QJsonObject &object, const QString &key)
{
    const QJsonValue list = object.value(key);
    if (!isListOfObjects(list) || list.toArray().isEmpty())
        return std::nullopt;
    return list.toArray().first().toObject();
}

// An id that MusicBrainz hands out has this form; anything else goes into the path escaped as one
// segment, so that an answer cannot steer the lookup to another path or query.
std::optional<QString> recordingPathSegment(const QString &id)
{
    static const QRegularExpression mbid(
        QStringLiteral(R"(\A[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}\z)"));
    if (mbid.match(id).hasMatch())
        return id;
    if (id.isEmpty() || id == QLatin1String(".") || id == QLatin1String(".."))
        return std::nullopt;
    return QString::fromLatin1(QUrl::toPercentEncoding(id));
}

// The first four characters of a release date as a year: an optional sign, then ASCII digits only.
std::optional<qint64> yearFromReleaseDate(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    const QString date = value.toString();
    if (date.size() < 4)
        return std::nullopt;
    return TextUtils::wholeNumber(QStringView(date).left(4));
}

// Discogs writes the year as a number in some answers and as a text in others ("2008").
std::optional<qint64> discogsYear(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double year = value.toDouble();
        if (std::isfinite(year) && year == std::trunc(year) && std::abs(year) < 9.0e15)
            return qint64(year);
        return std::nullopt;
    }
    const QString text = value.toString();
    if (text.size() != 4)
        return std::nullopt;
    return TextUtils::decimalDigits(text);
}

// A list of texts joined, or a text as it is.
std::optional<QString> textOrJoinedList(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (!value.isArray())
        return std::nullopt;
    QStringList parts;
    for (const QJsonValue &member : value.toArray()) {
        if (!member.isString())
            return std::nullopt;
        parts.append(member.toString());
    }
    return parts.join(listSeparator);
}

ExternalEnrichment recordingEnrichment(const QJsonObject &recording)
{
    ExternalEnrichment found;
    const QJsonValue relations = recording.value(QLatin1String("relations"));
    if (isListOfObjects(relations)) {
        for (const QJsonValue &relation : relations.toArray()) {
            const QJsonValue url = relation.toObject().value(QLatin1String("url"));
            const QJsonValue resource = url.toObject().value(QLatin1String("resource"));
            if (!url.isObject() || !resource.isString())
                continue;
            const QString link = resource.toString();
            const QString lower = link.toLower();
            if (!found.spotifyURL && lower.contains(QLatin1String("open.spotify.com")))
                found.spotifyURL = link;
            if (!found.youtubeURL &&
                (lower.contains(QLatin1String("youtube.com")) || lower.contains(QLatin1String("youtu.be"))))
                found.youtubeURL = link;
        }
    }
    found.firstReleaseYear = yearFromReleaseDate(recording.value(QLatin1String("first-release-date")));
    return found;
}

ExternalEnrichment releaseEnrichment(const QJsonObject &answer)
{
    const std::optional<QJsonObject> release = firstObjectOf(answer, QStringLiteral("results"));
    if (!release)
        return {};
    ExternalEnrichment found;
    found.genre = textOrJoinedList(release->value(QLatin1String("genre")));
    found.style = textOrJoinedList(release->value(QLatin1String("style")));
    found.firstReleaseYear = discogsYear(release->value(QLatin1String("year")));
    return found;
}

// A token that would break the header line is not sent at all.
ExternalEnrichment failed(const WebError &error)
{
    ExternalEnrichment nothing;
    nothing.failure = error;
    return nothing;
}

// What the web sources of one enrichment answered: whether any failed, and whether every one that was
// asked could not be reached at all.
struct WebTally {
    int asked = 0;
    int unreachable = 0;
    int failed = 0;

    void add(const ExternalEnrichment &answer)
    {
        ++asked;
        if (!answer.failure)
            return;
        ++failed;
        unreachable += answer.failure->isUnreachable();
    }
};

// Failed whenever a web source failed, even when the built-in index filled fields; found when the
// entry changed; nothing found otherwise.
LookupOutcome outcomeOf(const BookmarkEntry &before, const BookmarkEntry &after, const WebTally &web)
{
    const bool filled = after != before;
    if (web.failed > 0)
        return {LookupOutcome::Kind::failed, filled, web.unreachable == web.asked};
    return {filled ? LookupOutcome::Kind::found : LookupOutcome::Kind::nothingFound, filled, false};
}

bool isUsableToken(const QString &token)
{
    return std::none_of(token.begin(), token.end(),
                        [](QChar c) { return c.category() == QChar::Other_Control; });
}

void lookUpRecording(const QString &id, QObject *context, MetadataEnrichmentService::EnrichmentCallback done)
{
    const std::optional<QString> segment = recordingPathSegment(id);
    if (!segment) {
        done({});
        return;
    }
    const auto endpoints = MetadataEnrichmentService::endpoints();
    // The "+" joins the two inc values and stays literal.
    const QUrl url = serviceUrl(endpoints.musicBrainzBaseUrl, QStringLiteral("/ws/2/recording/") + *segment,
                                QStringLiteral("inc=url-rels+artist-credits&fmt=json"));
    MetadataWebClient::getObject(
        url, {}, endpoints.requestTimeout, context, [done = std::move(done)](const WebResult &recording) {
            done(recording ? recordingEnrichment(*recording.object) : failed(recording.error));
        });
}

std::optional<QString> nonEmpty(const std::optional<QString> &text)
{
    return text && !text->isEmpty() ? text : std::nullopt;
}

std::optional<QString> joinedNonEmpty(const std::optional<QStringList> &list)
{
    if (!list || list->isEmpty())
        return std::nullopt;
    return list->join(listSeparator);
}

bool isMissing(const QString &text)
{
    return text.isEmpty();
}
template <typename T> bool isMissing(const std::optional<T> &value)
{
    return !value.has_value();
}

// Writes a field when a value is at hand, its column is chosen, and either the options overwrite or
// the field is still empty. No source ever clears a field.
template <typename Field, typename Value>
void offer(Field &field, const std::optional<Value> &value, bool chosen, const SongDataImportOptions &options)
{
    if (value && chosen && (!options.fillOnlyMissing || isMissing(field)))
        field = *value;
}

// Enrichment without a column choice fills every empty field.
const SongDataImportOptions fillEveryEmptyField{true, true, true, true, true, true, true};

void applyIndex(BookmarkEntry &e, const SongDataImportOptions &o)
{
    const std::optional<TitleMetadataRecord> record = TitleMetadataIndex::metadataForDisplayTitle(e.title);
    if (!record)
        return;
    offer(e.genre, joinedNonEmpty(record->genres), o.genre, o);
    offer(e.style, joinedNonEmpty(record->styles), o.style, o);
    offer(e.firstReleaseYear, record->firstReleaseYear, o.year, o);
    offer(e.composer, nonEmpty(record->composer), o.composer, o);
    offer(e.tempo, nonEmpty(record->tempo), o.tempo, o);
    offer(e.rating, record->rating, o.popularity, o);
}

void applyDiscogs(BookmarkEntry &e, const ExternalEnrichment &dg, const SongDataImportOptions &o)
{
    offer(e.genre, nonEmpty(dg.genre), o.genre, o);
    offer(e.style, nonEmpty(dg.style), o.style, o);
    offer(e.firstReleaseYear, dg.firstReleaseYear, o.year, o);
}

// The last step of both enrichments: Discogs when a token is stored and the options let it write.
// original: the entry as it was asked for; web: what the web sources asked before answered.
void finishWithDiscogs(const BookmarkEntry &original, BookmarkEntry e, const SongDataImportOptions &o,
                       WebTally web, const QPointer<QObject> &context,
                       MetadataEnrichmentService::BookmarkCallback done)
{
    if (!context)
        return;
    const std::optional<QString> token = DiscogsAuth::userToken();
    if (!token || !(o.genre || o.style || o.year)) {
        MetadataWebClient::deliverLater(
            context, [original, e, web, done = std::move(done)] { done(e, outcomeOf(original, e, web)); });
        return;
    }
    MetadataEnrichmentService::fetchDiscogs(
        e.title, e.composer, *token, context,
        [original, e, o, web, done = std::move(done)](ExternalEnrichment dg) mutable {
            applyDiscogs(e, dg, o);
            web.add(dg);
            done(e, outcomeOf(original, e, web));
        });
}

} // namespace

namespace MetadataEnrichmentService {

Endpoints endpoints()
{
    EndpointState &s = endpointState();
    QMutexLocker locker(&s.lock);
    return s.endpoints;
}

void setEndpoints(const Endpoints &endpoints)
{
    EndpointState &s = endpointState();
    QMutexLocker locker(&s.lock);
    s.endpoints = endpoints;
}

void fetchMusicBrainz(const QString &title, const QString &composer, QObject *context,
                      EnrichmentCallback done)
{
    const QString t = withoutQuotes(title);
    if (t.isEmpty()) {
        MetadataWebClient::deliverLater(context, [done = std::move(done)] { done({}); });
        return;
    }
    const QString c = withoutQuotes(composer);
    QString search = QStringLiteral("recording:\"%1\"").arg(t);
    if (!c.isEmpty())
        search += QStringLiteral(" AND artist:\"%1\"").arg(c);

    const Endpoints endpoints = MetadataEnrichmentService::endpoints();
    const QUrl url =
        serviceUrl(endpoints.musicBrainzBaseUrl, QStringLiteral("/ws/2/recording"),
                   MetadataWebClient::encodedQuery({{QStringLiteral("query"), search},
                                                    {QStringLiteral("fmt"), QStringLiteral("json")},
                                                    {QStringLiteral("limit"), QStringLiteral("3")}}));
    QPointer<QObject> guard(context);
    MetadataWebClient::getObject(
        url, {}, endpoints.requestTimeout, context,
        [guard, done = std::move(done)](const WebResult &answer) mutable {
            const std::optional<QJsonObject> first =
                answer ? firstObjectOf(*answer.object, QStringLiteral("recordings")) : std::nullopt;
            const QJsonValue id = first ? first->value(QLatin1String("id")) : QJsonValue();
            if (!id.isString() || !guard) {
                done(answer ? ExternalEnrichment() : failed(answer.error));
                return;
            }
            lookUpRecording(id.toString(), guard, std::move(done));
        });
}

void fetchDiscogs(const QString &title, const QString &artist, const QString &token, QObject *context,
                  EnrichmentCallback done)
{
    const QString t = TextUtils::trimmed(title);
    if (t.isEmpty() || !isUsableToken(token)) {
        MetadataWebClient::deliverLater(context, [done = std::move(done)] { done({}); });
        return;
    }
    const QString search = artist.isEmpty() ? t : artist + QLatin1Char(' ') + t;
    const Endpoints endpoints = MetadataEnrichmentService::endpoints();
    const QUrl url =
        serviceUrl(endpoints.discogsBaseUrl, QStringLiteral("/database/search"),
                   MetadataWebClient::encodedQuery({{QStringLiteral("q"), search},
                                                    {QStringLiteral("type"), QStringLiteral("release")},
                                                    {QStringLiteral("per_page"), QStringLiteral("3")}}));
    QList<MetadataWebClient::Header> headers;
    if (!token.isEmpty())
        headers.append({QByteArrayLiteral("Authorization"), "Discogs token=" + token.toUtf8()});
    MetadataWebClient::getObject(url, headers, endpoints.requestTimeout, context,
                                 [done = std::move(done)](const WebResult &answer) {
                                     done(answer ? releaseEnrichment(*answer.object) : failed(answer.error));
                                 });
}

BookmarkEntry enrichFromIndex(const BookmarkEntry &entry, const std::optional<SongDataImportOptions> &options)
{
    BookmarkEntry e = entry;
    applyIndex(e, options.value_or(fillEveryEmptyField));
    return e;
}

void enrichBookmark(const BookmarkEntry &entry, QObject *context, BookmarkCallback done)
{
    // MusicBrainz is searched with the composer the bookmark had, not one the index supplied.
    const QString ownComposer = entry.composer;
    BookmarkEntry e = enrichFromIndex(entry, std::nullopt);
    QPointer<QObject> guard(context);
    fetchMusicBrainz(e.title, ownComposer, context,
                     [entry, e, guard, done = std::move(done)](ExternalEnrichment mb) mutable {
                         const SongDataImportOptions &o = fillEveryEmptyField;
                         offer(e.spotifyURL, mb.spotifyURL, true, o);
                         offer(e.youtubeURL, mb.youtubeURL, true, o);
                         offer(e.firstReleaseYear, mb.firstReleaseYear, true, o);
                         WebTally web;
                         web.add(mb);
                         finishWithDiscogs(entry, std::move(e), o, web, guard, std::move(done));
                     });
}

void enrichBookmark(const BookmarkEntry &entry, const SongDataImportOptions &options, QObject *context,
                    BookmarkCallback done)
{
    BookmarkEntry e = enrichFromIndex(entry, options);
    QPointer<QObject> guard(context);
    if (!options.year) {
        finishWithDiscogs(entry, std::move(e), options, {}, guard, std::move(done));
        return;
    }
    // Only the year is taken from MusicBrainz here, not the links.
    fetchMusicBrainz(e.title, e.composer, context,
                     [entry, e, options, guard, done = std::move(done)](ExternalEnrichment mb) mutable {
                         offer(e.firstReleaseYear, mb.firstReleaseYear, true, options);
                         WebTally web;
                         web.add(mb);
                         finishWithDiscogs(entry, std::move(e), options, web, guard, std::move(done));
                     });
}

} // namespace MetadataEnrichmentService

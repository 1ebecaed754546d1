#include "core/titles/TitleMetadataIndex.h"

#include "core/common/Result.h"
#include "core/common/UiText.h"
#include "core/json/JsonReader.h"
#include "core/resources/BundledResources.h"
#include "core/text/TextUtils.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QThreadPool>

namespace {

using TitleMap = TitleMetadataIndex::RecordMap;

struct IndexState {
    QMutex lock;
    std::optional<TitleMap> cachedMap;
    std::optional<QString> loadError;
};

IndexState &state()
{
    static IndexState instance;
    return instance;
}

struct LoadResult {
    TitleMap map;
    std::optional<QString> error;
};

std::optional<QString> resolveBundledJsonPath()
{
    for (const char *baseName : {"default_metadata", "DefaultMetadata"}) {
        for (const char *folder : {"Bundled", "LegacyAssets", ""}) {
            if (auto path = BundledResources::find(QLatin1String(folder), QLatin1String(baseName),
                                                   QStringLiteral("json")))
                return path;
        }
    }
    return std::nullopt;
}

Result<QList<TitleMetadataRecord>> decodeRecords(const QByteArray &bytes)
{
    using Failure = Result<QList<TitleMetadataRecord>>;
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::array array;
    if (!document.open(bytes, status) || !document.rootArray(array, status))
        return Failure::failure(status.error());

    QList<TitleMetadataRecord> records;
    qsizetype index = 0;
    for (auto element : array) {
        json::od::value value;
        if (!json::element(element, value, status, QString(), index))
            break;
        json::ObjectReader in(value, status, QString(), index++);
        TitleMetadataRecord record;
        in.required("Title", record.title);
        in.optional("Genres", record.genres);
        in.optional("Styles", record.styles);
        in.optional("FirstReleaseYear", record.firstReleaseYear);
        in.optional("Composer", record.composer);
        in.optional("Tempo", record.tempo);
        in.optional("Popularity", record.popularity);
        // Hand-edited files carry ratings as text now and then; such a rating is dropped, not the file.
        in.lenient("Rating", record.rating);
        if (!status.ok())
            break;
        records.append(std::move(record));
    }
    if (!document.finish(status))
        return Failure::failure(status.error());
    return records;
}

LoadResult loadFromBundle()
{
    const auto path = resolveBundledJsonPath();
    if (!path)
        return {{}, UiText::tr("default_metadata.json not found in app bundle.")};
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {{}, file.errorString()};

    auto map = TitleMetadataIndex::decodeRecordMap(bytes);
    if (!map)
        return {{}, QFileInfo(*path).fileName() + QStringLiteral(": ") + map.error().message};
    return {std::move(map).value(), std::nullopt};
}

// Whether \s may match c: exact below U+1680, and yes for everything from there on.
bool mayBeWhiteSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x20 || (u >= 0x09 && u <= 0x0D) || u == 0x85 || u == 0xA0 || u >= 0x1680;
}

// A lone blank is already what a run of white space becomes.
bool hasWhiteSpaceToCollapse(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!mayBeWhiteSpace(text[i]))
            continue;
        if (text[i] != QLatin1Char(' ') || (i + 1 < text.size() && mayBeWhiteSpace(text[i + 1])))
            return true;
    }
    return false;
}

} // namespace

namespace TitleMetadataIndex {

std::optional<QString> bundledFilePath()
{
    return resolveBundledJsonPath();
}

Result<RecordMap> decodeRecordMap(const QByteArray &bytes)
{
    auto records = decodeRecords(bytes);
    if (!records)
        return records.error();
    RecordMap map;
    map.reserve(records.value().size());
    for (TitleMetadataRecord &record : records.value()) {
        QString key = normalizedTitleKey(record.title);
        // The first record of a title wins; later ones are duplicates of it.
        if (key.isEmpty() || map.contains(key))
            continue;
        map.insert(std::move(key), std::move(record));
    }
    return map;
}

QString normalizedTitleKey(const QString &title)
{
    static const QRegularExpression whiteSpaceRun = TextUtils::unicodeRegex(QStringLiteral(R"(\s+)"));
    static const QRegularExpression parenthesisedArticle =
        TextUtils::unicodeRegex(QStringLiteral(R"(\s*\(\s*the\s*\)\s*\z)"));
    static const QRegularExpression commaArticle = TextUtils::unicodeRegex(QStringLiteral(R"(,\s*the\z)"));
    static const QRegularExpression leadingArticle = TextUtils::unicodeRegex(QStringLiteral(R"(^the\s+)"));

    // Most titles have single blanks and no article: each pattern runs only when the text can match
    // it, which keeps the key of a large library cheap.
    QString key = TextUtils::trimmed(title.toLower());
    if (hasWhiteSpaceToCollapse(key))
        key.replace(whiteSpaceRun, QStringLiteral(" "));
    if (!key.isEmpty() && (key.back() == QLatin1Char(')') || mayBeWhiteSpace(key.back())))
        key.remove(parenthesisedArticle);
    if (key.endsWith(QLatin1String("the")))
        key.remove(commaArticle);
    if (key.startsWith(QLatin1String("the")))
        key.remove(leadingArticle);
    return TextUtils::trimmed(key);
}

std::optional<TitleMetadataRecord> metadataForDisplayTitle(const QString &title)
{
    return metadataForKey(normalizedTitleKey(title));
}

RecordMap records()
{
    IndexState &s = state();
    QMutexLocker locker(&s.lock);
    if (!s.cachedMap) {
        LoadResult loaded = loadFromBundle();
        s.cachedMap = std::move(loaded.map);
        s.loadError = std::move(loaded.error);
    }
    return *s.cachedMap;
}

std::optional<TitleMetadataRecord> metadataForKey(const QString &key)
{
    const RecordMap map = records();
    const auto found = map.constFind(key);
    if (found == map.constEnd())
        return std::nullopt;
    return *found;
}

void preload(std::function<void()> completion)
{
    QThreadPool::globalInstance()->start([completion = std::move(completion)]() mutable {
        metadataForDisplayTitle(QString());
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(completion), Qt::QueuedConnection);
    });
}

std::optional<QString> loadError()
{
    IndexState &s = state();
    QMutexLocker locker(&s.lock);
    return s.loadError;
}

void resetForTesting()
{
    IndexState &s = state();
    QMutexLocker locker(&s.lock);
    s.cachedMap.reset();
    s.loadError.reset();
}

} // namespace TitleMetadataIndex

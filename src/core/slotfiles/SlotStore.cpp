#include "core/slotfiles/SlotStore.h"

#include "core/common/AppPaths.h"
#include "core/json/JsonReader.h"
#include "core/json/JsonWriter.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>

namespace {

// Calls read(slot, value, path) for each member of an object keyed by slot number; false when a key is
// no number or read fails.
template <typename Read>
bool readSlotKeyed(json::od::object &object, json::DecodeStatus &status, const QString &field, Read read)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    for (auto member : object) {
        std::string_view key;
        if (const auto code = member.unescaped_key().get(key); code != simdjson::SUCCESS) {
            status.fail(field, code);
            return false;
        }
        const QString keyText = QString::fromUtf8(key.data(), qsizetype(key.size()));
        bool ok = false;
        const qint64 slot = keyText.toLongLong(&ok);
        if (!ok || !decimal.match(keyText).hasMatch()) {
            status.fail(field, QStringLiteral("key is not a slot number: ") + keyText);
            return false;
        }
        json::od::value value;
        const QString path = field + QLatin1Char('.') + keyText;
        if (!json::element(member.value(), value, status, path, -1) || !read(slot, value, path))
            return false;
    }
    return true;
}

Result<SlotMeta> decodeMetaJson(const QByteArray &bytes)
{
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::object root;
    if (!document.open(bytes, status) || !document.rootObject(root, status))
        return Result<SlotMeta>::failure(status.error());
    json::ObjectReader in(root, status);
    SlotMeta meta;
    in.required("activeSlot", meta.activeSlot);
    auto names = in.requiredObject("slotNames");
    if (!status.ok())
        return Result<SlotMeta>::failure(status.error());
    const bool namesRead = readSlotKeyed(*names, status, QStringLiteral("slotNames"),
                                         [&](qint64 slot, json::od::value &value, const QString &path) {
                                             QString name;
                                             if (!json::readString(value, name, status, path))
                                                 return false;
                                             meta.slotNames.insert(slot, name);
                                             return true;
                                         });
    // Files written before the counts were kept have none.
    if (namesRead) {
        if (auto counts = in.optionalObject("slotCounts")) {
            readSlotKeyed(*counts, status, QStringLiteral("slotCounts"),
                          [&](qint64 slot, json::od::value &value, const QString &path) {
                              qint64 count = 0;
                              if (!json::readInteger(value, count, status, path))
                                  return false;
                              if (count < 0) {
                                  status.fail(path, QStringLiteral("negative count"));
                                  return false;
                              }
                              meta.slotCounts.insert(slot, count);
                              return true;
                          });
        }
    }
    if (!document.finish(status))
        return Result<SlotMeta>::failure(status.error());
    return meta;
}

template <typename Value> void writeSlotKeyed(json::JsonWriter &w, const QMap<qint64, Value> &values)
{
    w.beginObject();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QByteArray key = QByteArray::number(it.key());
        w.key(std::string_view(key.constData(), size_t(key.size())));
        w.value(it.value());
    }
    w.endObject();
}

QByteArray encodeMetaJson(const SlotMeta &meta)
{
    json::JsonWriter w;
    w.beginObject();
    w.key("activeSlot");
    w.value(meta.activeSlot);
    w.key("slotNames");
    writeSlotKeyed(w, meta.slotNames);
    if (!meta.slotCounts.isEmpty()) {
        w.key("slotCounts");
        writeSlotKeyed(w, meta.slotCounts);
    }
    w.endObject();
    return w.take();
}

// The import library folder followed by "/", resolved once per load or save; empty when the folder
// cannot be determined.
QString importLibraryPrefix()
{
    const QString library = AppPaths::importLibraryPath();
    if (library.isEmpty())
        return {};
    return SlotStore::standardizedPath(library) + QLatin1Char('/');
}

bool liesUnder(const QString &pdfFilePath, const QString &prefix)
{
    return !pdfFilePath.isEmpty() && !prefix.isEmpty() &&
           SlotStore::standardizedPath(pdfFilePath).startsWith(prefix);
}

// Imported single files are grouped under one book; returns the book name an entry is stored under.
// A row is a single by its book name alone: the one the picture import gives a single, or a name that
// begins like it. Where its PDF lies plays no part, so that a book imported into the import library
// keeps its name and its titles.
QString customSingleBookName(const QString &name)
{
    return name.startsWith(QLatin1String("Custom Single")) ? SlotStore::customSinglesBookName : name;
}

void applyCustomSingleRule(BookmarkList &entries)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const BookmarkEntry &entry = std::as_const(entries)[i];
        QString name = customSingleBookName(entry.pdfFileName);
        if (name != entry.pdfFileName)
            entries[i].pdfFileName = std::move(name);
    }
}

} // namespace

namespace SlotStore {

QString rootPath()
{
    return AppPaths::slotsDir();
}

QString slotFilePath(qint64 slot)
{
    return rootPath() + QStringLiteral("/slot_") + QString::number(slot) + QStringLiteral(".json");
}

QString metaFilePath()
{
    return rootPath() + QStringLiteral("/slots_meta.json");
}

std::optional<SlotMeta> loadMeta()
{
    std::optional<SlotMeta> meta = StateFile::load<SlotMeta>(metaFilePath(), decodeMeta);
    // Until they can be written, the names, counts and current slot last meant for the file are the
    // slots' own, and the next write carries them.
    if (const std::optional<StateFile::Unwritten> meant = StateFile::unwritten(metaFilePath());
        meant && !meant->removed) {
        if (Result<SlotMeta> decoded = decodeMeta(meant->bytes))
            meta = std::move(decoded).value();
    }
    return meta;
}

bool saveMeta(const SlotMeta &meta)
{
    const QByteArray bytes = encodeMeta(meta);
    return !bytes.isEmpty() && StateFile::write(metaFilePath(), bytes);
}

QByteArray encodeMeta(const SlotMeta &meta)
{
    return encodeMetaJson(meta);
}

Result<SlotMeta> decodeMeta(const QByteArray &bytes)
{
    return decodeMetaJson(bytes);
}

qint64 clampSlot(qint64 slot)
{
    return std::clamp<qint64>(slot, 0, slotCount - 1);
}

qint64 activeSlot()
{
    const auto meta = loadMeta();
    return meta ? clampSlot(meta->activeSlot) : 0;
}

QString builtInSlotName(qint64 slot)
{
    return slot == 0 ? QStringLiteral("Default") : QStringLiteral("Slot ") + QString::number(slot);
}

QString slotName(qint64 slot)
{
    if (const auto meta = loadMeta()) {
        const QString stored = TextUtils::trimmed(meta->slotNames.value(slot));
        if (!stored.isEmpty())
            return stored;
    }
    return builtInSlotName(slot);
}

bool setSlotName(qint64 slot, const QString &name)
{
    if (slot == 0)
        return false;
    SlotMeta meta = loadMeta().value_or(SlotMeta{});
    meta.activeSlot = clampSlot(meta.activeSlot);
    const QString trimmedName = TextUtils::trimmed(name);
    if (!trimmedName.isEmpty() && trimmedName != builtInSlotName(slot))
        meta.slotNames.insert(slot, trimmedName);
    else
        meta.slotNames.remove(slot);
    return saveMeta(meta);
}

std::optional<BookmarkCache> loadSlotFile(qint64 slot)
{
    return StateFile::load<BookmarkCache>(slotFilePath(slot), BookmarkCacheCodec::decode);
}

BookmarkList loadSlot(qint64 slot)
{
    return loadSlotContents(slot).bookmarks;
}

QString selectedFolder(qint64 slot)
{
    const auto cache = loadSlotFile(slot);
    return cache ? TextUtils::trimmed(cache->selectedFolder.value_or(QString())) : QString();
}

SlotContents loadSlotContents(qint64 slot)
{
    StateFile::Loaded<SlotContents> loaded =
        StateFile::loadVersioned<SlotContents>(slotFilePath(slot), decodeSlot);
    SlotContents contents = std::move(loaded.value).value_or(SlotContents());
    contents.version = loaded.version;
    return contents;
}

Result<SlotContents> decodeSlot(const QByteArray &bytes)
{
    Result<BookmarkCache> decoded = BookmarkCacheCodec::decode(bytes);
    if (!decoded)
        return decoded.error();
    BookmarkCache cache = std::move(decoded).value();
    applyCustomSingleRule(cache.bookmarks);
    return SlotContents{
        std::move(cache.bookmarks), TextUtils::trimmed(cache.selectedFolder.value_or(QString())), {}};
}

SlotRows loadSlotRows(qint64 slot)
{
    const auto decode = [](const QByteArray &bytes) -> Result<SlotRows> {
        Result<BookmarkCacheBlocks> decoded =
            BookmarkCacheCodec::decodeInBlocks(bytes, LibraryRows::blockSize);
        if (!decoded)
            return decoded.error();
        BookmarkCacheBlocks read = std::move(decoded).value();
        for (BookmarkList &block : read.blocks)
            applyCustomSingleRule(block);
        return SlotRows{LibraryRows::fromBlocks(std::move(read.blocks)),
                        TextUtils::trimmed(read.head.selectedFolder.value_or(QString())),
                        {}};
    };
    StateFile::Loaded<SlotRows> loaded = StateFile::loadVersioned<SlotRows>(slotFilePath(slot), decode);
    SlotRows rows = std::move(loaded.value).value_or(SlotRows());
    rows.version = loaded.version;
    return rows;
}

bool saveSlot(qint64 slot, const BookmarkList &bookmarks, const QString &selectedFolder)
{
    const auto bytes = encodeSlot(bookmarks, selectedFolder);
    if (!bytes || !StateFile::write(slotFilePath(slot), *bytes))
        return false;
    SlotMeta meta = loadMeta().value_or(SlotMeta{});
    meta.slotCounts.insert(slot, bookmarks.size());
    saveMeta(meta);
    return true;
}

std::optional<qsizetype> storedSlotCount(qint64 slot)
{
    const std::optional<SlotMeta> meta = loadMeta();
    if (!meta)
        return std::nullopt;
    const auto found = meta->slotCounts.constFind(slot);
    if (found == meta->slotCounts.cend())
        return std::nullopt;
    return qsizetype(*found);
}

std::optional<QByteArray> encodeSlot(const BookmarkList &bookmarks, const QString &selectedFolder)
{
    BookmarkCache cache{selectedFolder, QDateTime::currentDateTimeUtc(), bookmarks};
    applyCustomSingleRule(cache.bookmarks);
    return BookmarkCacheCodec::encode(cache);
}

bool isInDefaultImportLibrary(const BookmarkEntry &entry)
{
    return isInDefaultImportLibrary(entry.pdfFilePath);
}

bool isInDefaultImportLibrary(const QString &pdfFilePath)
{
    return liesUnder(pdfFilePath, importLibraryPrefix());
}

ImportLibraryTest::ImportLibraryTest() : m_prefix(importLibraryPrefix()) {}

bool ImportLibraryTest::contains(const QString &pdfFilePath)
{
    auto known = m_known.constFind(pdfFilePath);
    if (known == m_known.constEnd())
        known = m_known.insert(pdfFilePath, liesUnder(pdfFilePath, m_prefix));
    return *known;
}

bool isCustomSingle(const BookmarkEntry &entry)
{
    return customSingleBookName(entry.pdfFileName) == customSinglesBookName;
}

QString standardizedPath(const QString &path)
{
    QString p = TextUtils::nfc(path);
    if (p == QLatin1String("~") || p.startsWith(QLatin1String("~/")))
        p.replace(0, 1, QDir::homePath());
    return QDir::cleanPath(p);
}

} // namespace SlotStore

#include "core/bookmarks/BookmarkCache.h"

#include "core/bookmarks/SongRecordCodec.h"
#include "core/text/TextUtils.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace {

// No row takes fewer bytes of the file than this: the keys it must have.
constexpr qsizetype minimumRowBytes = 96;

// The rows of a file this large are read on several threads.
constexpr qsizetype defaultSeveralThreadsBytes = 16 * 1024 * 1024;
std::atomic<qsizetype> severalThreadsBytes{defaultSeveralThreadsBytes};

// The rows a thread takes at a time (a whole number of blocks), so that threads that get less of the
// machine take fewer.
constexpr qsizetype rowsPerTake = 4096;

// Where the rows read on several threads go: every row into its place in one list.
struct OneList {
    BookmarkList &rows;
    BookmarkEntry *first = nullptr;

    static constexpr qsizetype blockRows = 1;
    void prepare(qsizetype count)
    {
        rows.resize(count);
        first = rows.data();
    }
    BookmarkEntry &row(qsizetype index) { return first[index]; }
};

// Or into blocks of blockRows each: a take holds whole blocks, and each is filled in order by one
// thread.
struct InBlocks {
    QList<BookmarkList> &blocks;
    qsizetype blockRows;
    qsizetype count = 0;
    BookmarkList *first = nullptr;

    void prepare(qsizetype rows)
    {
        count = rows;
        blocks.resize((rows + blockRows - 1) / blockRows);
        first = blocks.data();
    }
    BookmarkEntry &row(qsizetype index)
    {
        BookmarkList &block = first[index / blockRows];
        if (block.isEmpty())
            block.reserve(std::min(blockRows, count - index));
        return block.emplaceBack();
    }
};

// The threads that read the rows of large lists, kept for the life of the process: the rows of every
// large list then lie in the same few arenas of the allocator, and the memory of the rows a switch or
// a reload lets go of is taken by the next ones. Threads made for each list would take whichever arenas
// other threads left, and the libraries read one after the other would spread over more and more of
// them, keeping pages of each resident.
QThreadPool &rowReaders()
{
    static QThreadPool *const pool = [] {
        auto *made = new QThreadPool;
        made->setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 8));
        made->setExpiryTimeout(-1);
        return made;
    }();
    return *pool;
}

// The rows of a large list read on several threads: one walk through the document finds where each
// row lies, and every row is then parsed by itself where it stands. False when anything is wrong with
// the document: it is then read row after row, which tells the first fault and its place.
template <typename Rows> bool decodeOnThreads(const QByteArray &bytes, BookmarkCache &cache, Rows &&out)
{
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::object root;
    if (!document.open(bytes, status) || !document.rootObject(root, status))
        return false;
    json::ObjectReader in(root, status);
    in.optional("selectedFolder", cache.selectedFolder);
    double savedAt = 0;
    in.required("savedAt", savedAt);
    auto items = in.requiredArray("bookmarks");
    if (!status.ok())
        return false;
    cache.savedAt = TextUtils::fromReferenceSeconds(savedAt);

    // A file cannot make this hold more rows than its size allows.
    const size_t mostRows = size_t(bytes.size() / minimumRowBytes + 1);
    std::vector<std::string_view> rowTexts;
    for (auto item : *items) {
        json::od::value value;
        json::od::object object;
        std::string_view text;
        if (rowTexts.size() == mostRows || item.get(value) != simdjson::SUCCESS ||
            value.get_object().get(object) != simdjson::SUCCESS ||
            object.raw_json().get(text) != simdjson::SUCCESS)
            return false;
        rowTexts.push_back(text);
    }
    if (!document.finish(status))
        return false;

    const qsizetype count = qsizetype(rowTexts.size());
    out.prepare(count);
    const qsizetype take = (rowsPerTake + out.blockRows - 1) / out.blockRows * out.blockRows;
    std::atomic<qsizetype> nextRow = 0;
    std::atomic<bool> failed = false;
    const auto readRows = [&] {
        json::JsonDocument row;
        json::TextPool pool;
        json::DecodeStatus rowStatus;
        const QString itemsPath = QStringLiteral("bookmarks");
        while (!failed.load(std::memory_order_relaxed)) {
            const qsizetype from = nextRow.fetch_add(take);
            if (from >= count)
                return;
            for (qsizetype index = from; index < std::min(from + take, count) && rowStatus.ok(); ++index) {
                json::od::value value;
                if (row.openPart(document, rowTexts[size_t(index)], rowStatus) &&
                    row.rootValue(value, rowStatus))
                    SongRecordCodec::decode(value, SongRecordCodec::Required::BookmarkFields, out.row(index),
                                            rowStatus, itemsPath, index, pool);
            }
            if (!rowStatus.ok())
                failed = true;
        }
    };
    // The readers are handed the work and this thread waits: a reader that starts once every row is
    // taken touches nothing, and is not waited for.
    struct Readers {
        std::mutex lock;
        std::condition_variable changed;
        bool closed = false;
        int active = 0;
    };
    const auto readers = std::make_shared<Readers>();
    for (int reader = 0; reader < rowReaders().maxThreadCount(); ++reader) {
        rowReaders().start([readers, &readRows] {
            {
                std::lock_guard lock(readers->lock);
                if (readers->closed)
                    return;
                ++readers->active;
            }
            readRows();
            std::lock_guard lock(readers->lock);
            --readers->active;
            readers->changed.notify_all();
        });
    }
    std::unique_lock lock(readers->lock);
    readers->changed.wait(lock, [&] { return nextRow >= count || failed; });
    readers->closed = true;
    readers->changed.wait(lock, [&] { return readers->active == 0; });
    return !failed;
}

// Row after row, on this thread.
Result<BookmarkCache> decodeInOrder(const QByteArray &bytes)
{
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::object root;
    if (!document.open(bytes, status) || !document.rootObject(root, status))
        return Result<BookmarkCache>::failure(status.error());

    json::ObjectReader in(root, status);
    BookmarkCache cache;
    in.optional("selectedFolder", cache.selectedFolder);
    double savedAt = 0;
    in.required("savedAt", savedAt);
    auto items = in.requiredArray("bookmarks");
    if (!status.ok())
        return Result<BookmarkCache>::failure(status.error());

    cache.savedAt = TextUtils::fromReferenceSeconds(savedAt);
    // Room for every row at once: a list grown by doubling would hold two copies of a large library
    // while it moves. The count is the parser's (one walk over the array); no row takes fewer than
    // minimumRowBytes of the file, so a file cannot make it reserve more than its size allows. A
    // malformed array fails the walk, and the document with it: the parser would then give no rows at
    // all, and a damaged file would read as an empty list.
    size_t count = 0;
    if (const auto code = items->count_elements().get(count); code != simdjson::SUCCESS) {
        status.fail(QStringLiteral("bookmarks"), code);
        return Result<BookmarkCache>::failure(status.error());
    }
    cache.bookmarks.reserve(std::min(qsizetype(count), bytes.size() / minimumRowBytes + 1));
    json::TextPool pool;
    const QString itemsPath = QStringLiteral("bookmarks");
    qsizetype index = 0;
    for (auto item : *items) {
        json::od::value value;
        if (!json::element(item, value, status, itemsPath, index))
            break;
        BookmarkEntry entry;
        SongRecordCodec::decode(value, SongRecordCodec::Required::BookmarkFields, entry, status, itemsPath,
                                index++, pool);
        if (!status.ok())
            break;
        cache.bookmarks.append(std::move(entry));
    }
    if (!document.finish(status))
        return Result<BookmarkCache>::failure(status.error());
    return cache;
}

} // namespace

namespace BookmarkCacheCodec {

Result<BookmarkCache> decode(const QByteArray &bytes)
{
    BookmarkCache cache;
    if (bytes.size() >= severalThreadsBytes && decodeOnThreads(bytes, cache, OneList{cache.bookmarks}))
        return cache;
    return decodeInOrder(bytes);
}

Result<BookmarkCacheBlocks> decodeInBlocks(const QByteArray &bytes, qsizetype blockRows)
{
    BookmarkCacheBlocks read;
    if (bytes.size() >= severalThreadsBytes &&
        decodeOnThreads(bytes, read.head, InBlocks{read.blocks, std::max<qsizetype>(blockRows, 1)}))
        return read;
    Result<BookmarkCache> decoded = decodeInOrder(bytes);
    if (!decoded)
        return decoded.error();
    read.head = std::move(decoded).value();
    BookmarkList rows = std::exchange(read.head.bookmarks, {});
    for (qsizetype from = 0; from < rows.size(); from += blockRows) {
        BookmarkList &block = read.blocks.emplaceBack();
        block.reserve(std::min(blockRows, rows.size() - from));
        for (qsizetype index = from; index < std::min(from + blockRows, rows.size()); ++index)
            block.append(std::move(rows[index]));
    }
    return read;
}

std::optional<QByteArray> encode(const BookmarkCache &cache)
{
    // About 450 bytes a bookmark with realistic paths and links.
    json::JsonWriter w(cache.bookmarks.size() * 512 + 256);
    w.beginObject();
    if (cache.selectedFolder) {
        w.key("selectedFolder");
        w.value(*cache.selectedFolder);
    }
    w.key("savedAt");
    w.value(TextUtils::toReferenceSeconds(cache.savedAt));
    w.key("bookmarks");
    w.beginArray();
    for (const BookmarkEntry &entry : cache.bookmarks)
        SongRecordCodec::encode(w, entry);
    w.endArray();
    w.endObject();
    QByteArray bytes = w.take();
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

void setSeveralThreadsBytesForTesting(qsizetype bytes)
{
    severalThreadsBytes = bytes > 0 ? bytes : defaultSeveralThreadsBytes;
}

} // namespace BookmarkCacheCodec

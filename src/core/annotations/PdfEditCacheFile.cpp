#include "core/annotations/PdfEditCacheFile.h"

#include "core/common/AppPaths.h"
#include "core/json/JsonReader.h"
#include "core/json/JsonWriter.h"
#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <algorithm>
#include <atomic>

namespace {

// The longest file name the file systems we run on take, in bytes.
constexpr qsizetype maxNameBytes = 255;

// The books whose annotation files this run read or wrote, by the files' paths: a file that could not
// be written is told by its book.
class KnownBooks {
public:
    static KnownBooks &instance()
    {
        static KnownBooks books;
        return books;
    }

    void add(const QString &file, const QString &book)
    {
        QMutexLocker lock(&m_mutex);
        m_books.insert(QFileInfo(file).absoluteFilePath(), book);
    }

    std::optional<QString> of(const QString &file)
    {
        QMutexLocker lock(&m_mutex);
        const auto book = m_books.constFind(QFileInfo(file).absoluteFilePath());
        return book == m_books.cend() ? std::nullopt : std::optional(*book);
    }

private:
    QMutex m_mutex;
    QHash<QString, QString> m_books;
};

// The file's path for a book, which is then known by it.
std::optional<QString> knownFilePath(const QString &pdfPath)
{
    const std::optional<QString> path = PdfEditCacheCodec::filePath(pdfPath);
    if (path)
        KnownBooks::instance().add(*path, pdfPath);
    return path;
}

template <typename Record> bool anyEntry(const QMap<qint64, QList<Record>> &pages)
{
    return std::any_of(pages.begin(), pages.end(), [](const QList<Record> &list) { return !list.isEmpty(); });
}

void readPoint(json::ObjectReader in, PointRecord &point)
{
    in.required("x", point.x);
    in.required("y", point.y);
}

void readColor(json::ObjectReader &in, std::string_view key, json::DecodeStatus &status, ColorRecord &color)
{
    auto object = in.requiredObject(key);
    if (!object)
        return;
    json::ObjectReader c(*object, status, in.pathOf(key));
    c.required("red", color.red);
    c.required("green", color.green);
    c.required("blue", color.blue);
    c.required("alpha", color.alpha);
}

void readStroke(json::ObjectReader in, json::DecodeStatus &status, StrokeRecord &stroke)
{
    if (auto points = in.requiredArray("points")) {
        const QString path = in.pathOf("points");
        qsizetype index = 0;
        for (auto item : *points) {
            json::od::value value;
            if (!json::element(item, value, status, path, index))
                return;
            PointRecord point;
            readPoint(json::ObjectReader(value, status, path, index++), point);
            if (!status.ok())
                return;
            stroke.points.append(point);
        }
    }
    readColor(in, "color", status, stroke.color);
    in.required("thickness", stroke.thickness);
    in.required("opacity", stroke.opacity);
    in.required("isHighlighter", stroke.isHighlighter);
}

void readText(json::ObjectReader in, json::DecodeStatus &status, TextRecord &text)
{
    if (auto position = in.requiredObject("position"))
        readPoint(json::ObjectReader(*position, status, in.pathOf("position")), text.position);
    in.required("text", text.text);
    readColor(in, "color", status, text.color);
    in.required("opacity", text.opacity);
    in.required("fontSize", text.fontSize);
}

// Reads the page map under key: every list is decoded, and only then is its key read as a page, so
// that a broken list under a skipped key still rejects the file.
template <typename Record, typename ReadRecord>
void readPages(json::ObjectReader &in, std::string_view key, json::DecodeStatus &status,
               QMap<qint64, QList<Record>> &pages, ReadRecord readRecord)
{
    auto object = in.requiredObject(key);
    if (!object)
        return;
    const QString mapPath = in.pathOf(key);
    for (auto field : *object) {
        std::string_view keyText;
        if (const auto code = field.unescaped_key().get(keyText); code != simdjson::SUCCESS)
            return status.fail(mapPath, code);
        const QString pageKey = QString::fromUtf8(keyText.data(), qsizetype(keyText.size()));
        const QString path = mapPath + QLatin1Char('.') + pageKey;
        json::od::value value;
        json::od::array array;
        if (const auto code = field.value().get(value); code != simdjson::SUCCESS)
            return status.fail(path, code);
        if (!json::readArray(value, array, status, path))
            return;
        QList<Record> list;
        qsizetype index = 0;
        for (auto item : array) {
            json::od::value element;
            if (!json::element(item, element, status, path, index))
                return;
            Record record;
            readRecord(json::ObjectReader(element, status, path, index++), status, record);
            if (!status.ok())
                return;
            list.append(std::move(record));
        }
        if (const auto page = PdfEditCacheCodec::pageFromKey(pageKey))
            pages.insert(*page, std::move(list));
    }
}

void writePoint(json::JsonWriter &w, const PointRecord &point)
{
    w.beginObject();
    w.key("x");
    w.value(point.x);
    w.key("y");
    w.value(point.y);
    w.endObject();
}

void writeColor(json::JsonWriter &w, const ColorRecord &color)
{
    w.beginObject();
    w.key("red");
    w.value(color.red);
    w.key("green");
    w.value(color.green);
    w.key("blue");
    w.value(color.blue);
    w.key("alpha");
    w.value(color.alpha);
    w.endObject();
}

void writeStroke(json::JsonWriter &w, const StrokeRecord &stroke)
{
    w.beginObject();
    w.key("points");
    w.beginArray();
    for (const PointRecord &point : stroke.points)
        writePoint(w, point);
    w.endArray();
    w.key("color");
    writeColor(w, stroke.color);
    w.key("thickness");
    w.value(stroke.thickness);
    w.key("opacity");
    w.value(stroke.opacity);
    w.key("isHighlighter");
    w.value(stroke.isHighlighter);
    w.endObject();
}

void writeText(json::JsonWriter &w, const TextRecord &text)
{
    w.beginObject();
    w.key("position");
    writePoint(w, text.position);
    w.key("text");
    w.value(text.text);
    w.key("color");
    writeColor(w, text.color);
    w.key("opacity");
    w.value(text.opacity);
    w.key("fontSize");
    w.value(text.fontSize);
    w.endObject();
}

template <typename Record, typename WriteRecord>
void writePages(json::JsonWriter &w, const QMap<qint64, QList<Record>> &pages, WriteRecord writeRecord)
{
    w.beginObject();
    for (auto it = pages.begin(); it != pages.end(); ++it) {
        w.key(QByteArray::number(it.key()).toStdString());
        w.beginArray();
        for (const Record &record : it.value())
            writeRecord(w, record);
        w.endArray();
    }
    w.endObject();
}

} // namespace

bool PdfEditCacheFile::hasAnnotations() const
{
    return anyEntry(strokesByPage) || anyEntry(textsByPage);
}

namespace PdfEditCacheCodec {

Result<PdfEditCacheFile> decode(const QByteArray &bytes)
{
    json::DecodeStatus status;
    json::JsonDocument document;
    json::od::object root;
    if (!document.open(bytes, status) || !document.rootObject(root, status))
        return Result<PdfEditCacheFile>::failure(status.error());
    json::ObjectReader in(root, status);
    PdfEditCacheFile file;
    readPages(in, "strokesByPage", status, file.strokesByPage, readStroke);
    readPages(in, "textsByPage", status, file.textsByPage, readText);
    if (!document.finish(status))
        return Result<PdfEditCacheFile>::failure(status.error());
    return file;
}

std::optional<QByteArray> encode(const PdfEditCacheFile &file)
{
    json::JsonWriter w;
    w.beginObject();
    w.key("strokesByPage");
    writePages(w, file.strokesByPage, writeStroke);
    w.key("textsByPage");
    writePages(w, file.textsByPage, writeText);
    w.endObject();
    if (w.failed())
        return std::nullopt;
    return w.take();
}

std::optional<qint64> pageFromKey(QStringView key)
{
    return TextUtils::wholeNumber(key);
}

namespace {

QByteArray base64Name(const QByteArray &utf8)
{
    return utf8.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals) + ".json";
}

} // namespace

QString fileName(const QString &pdfPath)
{
    const QByteArray utf8 = pdfPath.toUtf8();
    const QByteArray base64 = base64Name(utf8);
    // The names a save and a set-aside give beside the file are longer than its own
    // ("<name>.unreadable-<date>-<time>-<n>" the longest): a name without that room could be read but
    // never written, or never set aside.
    constexpr qsizetype besideNameBytes = 30;
    if (base64.size() + besideNameBytes <= maxNameBytes)
        return QString::fromLatin1(base64);
    return QString::fromLatin1(QCryptographicHash::hash(utf8, QCryptographicHash::Sha256).toHex() + ".json");
}

std::optional<QString> filePath(const QString &pdfPath)
{
    if (pdfPath.isEmpty() || AppPaths::dataHome().isEmpty())
        return std::nullopt;
    const QString folder = AppPaths::annotationCacheDir() + QLatin1Char('/');
    const QString name = fileName(pdfPath);
    // Earlier versions wrote Base64 names with less room beside them (up to the 238 bytes a save's own
    // temporary name allows): such a file keeps its name.
    if (const QByteArray base64 = base64Name(pdfPath.toUtf8());
        name.size() != base64.size() && base64.size() <= 238) {
        const QString earlier = folder + QString::fromLatin1(base64);
        if (QFile::exists(earlier))
            return earlier;
    }
    return folder + name;
}

std::optional<QString> bookOf(const QString &path)
{
    return KnownBooks::instance().of(path);
}

LoadResult load(const QString &pdfPath)
{
    const auto path = knownFilePath(pdfPath);
    if (!path)
        return {};
    StateFile::ReadResult read = StateFile::read(*path);
    if (const std::optional<StateFile::Unwritten> meant = StateFile::unwritten(*path)) {
        read.status = meant->removed ? StateFile::ReadStatus::Missing : StateFile::ReadStatus::Ok;
        read.bytes = meant->bytes;
    }
    if (read.status == StateFile::ReadStatus::Missing)
        return {};
    if (read.status != StateFile::ReadStatus::Ok)
        return {{}, LoadStatus::Unreadable};
    Result<PdfEditCacheFile> decoded = decode(read.bytes);
    if (!decoded)
        return {{}, LoadStatus::Undecodable};
    return {std::move(decoded).value(), LoadStatus::Loaded};
}

bool save(const QString &pdfPath, const PdfEditCacheFile &file)
{
    // Through the file's background writes, so that a failure is kept and a removal settles it as theirs
    // do.
    std::atomic<bool> saved = false;
    if (!saveInBackground(pdfPath, file, [&saved](bool ok, const QString &) { saved = ok; }))
        return false;
    StateFile::waitForPendingWrites(*filePath(pdfPath));
    return saved;
}

std::optional<QString> setAside(const QString &pdfPath)
{
    const auto path = filePath(pdfPath);
    return path ? StateFile::setAside(*path) : std::nullopt;
}

bool saveInBackground(const QString &pdfPath, const PdfEditCacheFile &file,
                      std::function<void(bool saved, const QString &error)> done)
{
    const auto path = knownFilePath(pdfPath);
    if (!path)
        return false;
    StateFile::WriteDone written;
    if (done)
        written = [done = std::move(done)](const QString &, bool ok, const QString &error) {
            done(ok, error);
        };
    if (file.hasAnnotations())
        StateFile::writeInBackground(
            *path, [file] { return encode(file); }, std::move(written));
    else
        StateFile::removeInBackground(*path, std::move(written));
    return true;
}

} // namespace PdfEditCacheCodec

#include "pdf/engine/PdfXrefBound.h"

#include "pdf/engine/PdfFileInput.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// poppler takes the last startxref within the final kilobyte, and the first section of a linearised
// file right after the first object, within the first kilobyte.
constexpr qint64 searchWindow = 1024;

// poppler reads a damaged file in lines of at most 255 bytes and lets an object header run over the
// next line twice: the kilobyte before each "obj" holds every header it can read there.
constexpr qint64 lookBack = 1024;
constexpr qint64 chunkSize = qint64(1) << 16;

// Stands for a number too large for any file. Numbers read are clamped to +-unbounded, so that adding
// two of them cannot overflow.
constexpr qint64 unbounded = std::numeric_limits<qint64>::max() / 4;

qint64 clamped(long long value)
{
    return std::clamp<qint64>(value, -unbounded, unbounded);
}

// The entries of a cross-reference table as writers lay them out: "0000012345 00000 n\r\n".
constexpr qint64 entrySize = 20;
constexpr qint64 entriesPerRead = 4096;

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\v' || c == '\0';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

qint64 digitsValue(const char *begin, const char *end)
{
    while (begin < end && *begin == '0')
        ++begin;
    if (end - begin > 17)
        return unbounded;
    qint64 value = 0;
    for (; begin < end; ++begin)
        value = value * 10 + (*begin - '0');
    return value;
}

qint64 sum(qint64 a, qint64 b)
{
    return std::min(a + b, unbounded);
}

class Claims {
public:
    explicit Claims(qint64 fileSize) : m_highest(fileSize) {}

    void objectNumber(qint64 number) { m_exceeded = m_exceeded || number > m_highest; }
    // A table of this many entries holds the objects 0 to size - 1.
    void tableSize(qint64 size) { objectNumber(size - 1); }
    bool exceeded() const { return m_exceeded; }

private:
    qint64 m_highest;
    bool m_exceeded = false;
};

// The object number poppler may read from a header ending with the "obj" at `at`, or -1. cut: the
// bytes before the view are not in it.
qint64 headerNumber(std::string_view bytes, size_t at, bool cut)
{
    const char *begin = bytes.data();
    const char *genEnd = begin + at;
    while (genEnd > begin && isSpace(genEnd[-1]))
        --genEnd;
    const char *genBegin = genEnd;
    while (genBegin > begin && isDigit(genBegin[-1]))
        --genBegin;
    if (genEnd == begin + at || genBegin == genEnd)
        return -1;
    const char *numEnd = genBegin;
    while (numEnd > begin && isSpace(numEnd[-1]))
        --numEnd;
    const char *numBegin = numEnd;
    while (numBegin > begin && isDigit(numBegin[-1]))
        --numBegin;
    if (numBegin < numEnd && numEnd < genBegin)
        return cut && numBegin == begin ? unbounded : digitsValue(numBegin, numEnd);
    // poppler joins a number that ends one of its lines to the digits that begin the next: the run
    // then holds the object number and more.
    return cut && genBegin == begin ? unbounded : digitsValue(genBegin, genEnd);
}

// Where poppler starts reading cross-reference sections, counted like every offset in the file from
// the PDF header, and where that header lies.
struct SectionStarts {
    qint64 header = 0;
    std::vector<qint64> offsets;
};

SectionStarts sectionStarts(QFile &file)
{
    SectionStarts starts;
    if (!file.seek(0))
        return starts;
    const QByteArray head = file.read(searchWindow);
    starts.header = std::max<qsizetype>(0, head.indexOf("%PDF-"));
    const QByteArray first = head.mid(starts.header);
    if (const qsizetype at = first.indexOf("endobj"); at >= 0 && first.contains("/Linearized")) {
        qsizetype p = at + 6;
        while (p < first.size() && isSpace(first[p]))
            ++p;
        starts.offsets.push_back(p);
    }
    if (!file.seek(std::max<qint64>(0, file.size() - searchWindow)))
        return starts;
    const QByteArray tail = file.read(searchWindow);
    if (const qsizetype at = tail.lastIndexOf("startxref"); at >= 0) {
        const char *p = tail.constData() + at + 9;
        while (isSpace(*p) && *p != '\0')
            ++p;
        if (isDigit(*p))
            starts.offsets.push_back(clamped(std::strtoll(p, nullptr, 10)));
    }
    return starts;
}

// Reads cross-reference sections and trailers through qpdf's tokenizer and object parser. Nothing is
// resolved: a reference stays a reference, so no object is ever looked up.
class SectionReader {
public:
    SectionReader(const QString &path, qint64 fileSize, Claims &claims)
        : m_input(std::make_shared<PdfFileInput>(path)), m_fileSize(fileSize), m_claims(claims)
    {
        m_context.setSuppressWarnings(true);
        m_tokenizer.allowEOF();
    }

    // Follows the chain of sections from each start, each section once.
    void follow(const SectionStarts &starts)
    {
        std::vector<qint64> pending = starts.offsets;
        std::set<qint64> visited;
        while (!pending.empty() && !m_claims.exceeded()) {
            const qint64 offset = sum(starts.header, pending.back());
            pending.pop_back();
            if (offset < 0 || offset >= m_fileSize || !visited.insert(offset).second)
                continue;
            try {
                section(offset, pending);
            } catch (const std::exception &) {
                // poppler cannot read this section either, and rebuilds the table: the scan covers that
            }
        }
    }

    void trailerAt(qint64 offset)
    {
        try {
            m_input->seek(offset, SEEK_SET);
            claimSize(object());
        } catch (const std::exception &) {
            // not a dictionary: poppler takes nothing from it
        }
    }

private:
    QPDFTokenizer::Token token() { return m_tokenizer.readToken(m_input, "xref", true, 64); }

    QPDFObjectHandle object()
    {
        bool empty = false;
        return QPDFObjectHandle::parse(m_input, "xref", m_tokenizer, empty, nullptr, &m_context);
    }

    static std::optional<qint64> integer(QPDFObjectHandle value)
    {
        // poppler reads these keys without following references
        if (value.isIndirect() || !value.isInteger())
            return std::nullopt;
        return clamped(value.getIntValue());
    }

    static qint64 number(const QPDFTokenizer::Token &token)
    {
        return clamped(std::strtoll(token.getValue().c_str(), nullptr, 10));
    }

    void claimSize(QPDFObjectHandle dictionary)
    {
        if (!dictionary.isDictionary())
            return;
        if (const auto size = integer(dictionary.getKey("/Size")))
            m_claims.tableSize(*size);
    }

    void section(qint64 offset, std::vector<qint64> &next)
    {
        m_input->seek(offset, SEEK_SET);
        const QPDFTokenizer::Token first = token();
        if (first.isWord("xref"))
            table(next);
        else if (first.isInteger() && token().isInteger() && token().isWord("obj"))
            stream(next);
    }

    void table(std::vector<qint64> &next)
    {
        for (;;) {
            const QPDFTokenizer::Token first = token();
            if (first.isWord("trailer"))
                break;
            const QPDFTokenizer::Token count = token();
            if (!first.isInteger() || !count.isInteger() || number(first) < 0 || number(count) < 0)
                return;
            m_claims.tableSize(sum(number(first), number(count)));
            if (m_claims.exceeded() || !skipEntries(number(count)))
                return;
        }
        QPDFObjectHandle trailer = object();
        if (!trailer.isDictionary())
            return;
        claimSize(trailer);
        // poppler takes a reference written for /Prev as the offset it meant
        QPDFObjectHandle prev = trailer.getKey("/Prev");
        if (prev.isIndirect())
            next.push_back(prev.getObjectID());
        else if (const auto offset = integer(prev))
            next.push_back(*offset);
        if (const auto offset = integer(trailer.getKey("/XRefStm")))
            next.push_back(*offset);
    }

    void stream(std::vector<qint64> &next)
    {
        QPDFObjectHandle dictionary = object();
        if (!dictionary.isDictionary())
            return;
        claimSize(dictionary);
        QPDFObjectHandle index = dictionary.getKey("/Index");
        if (index.isArray() && !index.isIndirect()) {
            for (int i = 0; i + 1 < index.getArrayNItems(); i += 2) {
                const auto first = integer(index.getArrayItem(i));
                const auto count = integer(index.getArrayItem(i + 1));
                if (first && count && *first >= 0 && *count >= 0)
                    m_claims.tableSize(sum(*first, *count));
            }
        }
        if (const auto offset = integer(dictionary.getKey("/Prev")))
            next.push_back(*offset);
    }

    // Steps over a subsection's entries: fast where they have the usual layout, token by token
    // otherwise, as poppler reads them. False where poppler gives up on the table.
    bool skipEntries(qint64 count)
    {
        const qint64 start = m_input->tell();
        if (skipLaidOutEntries(count))
            return true;
        m_input->seek(start, SEEK_SET);
        for (qint64 i = 0; i < count; ++i) {
            const QPDFTokenizer::Token offset = token();
            const QPDFTokenizer::Token generation = token();
            const QPDFTokenizer::Token type = token();
            if (!offset.isInteger() || !generation.isInteger() || !(type.isWord("n") || type.isWord("f")))
                return false;
        }
        return true;
    }

    bool skipLaidOutEntries(qint64 count)
    {
        char c = 0;
        while (m_input->read(&c, 1) == 1 && isSpace(c)) {
        }
        qint64 at = m_input->tell() - 1;
        if (count > (m_fileSize - at) / entrySize)
            return false;
        std::string block;
        for (qint64 left = count; left > 0;) {
            const qint64 entries = std::min(left, entriesPerRead);
            block.resize(size_t(entries * entrySize));
            m_input->seek(at, SEEK_SET);
            if (m_input->read(block.data(), block.size()) != block.size())
                return false;
            for (qint64 i = 0; i < entries; ++i)
                if (!laidOut(block.data() + i * entrySize))
                    return false;
            at += entries * entrySize;
            left -= entries;
        }
        m_input->seek(at, SEEK_SET);
        return true;
    }

    static bool laidOut(const char *entry)
    {
        for (int i = 0; i < 10; ++i)
            if (!isDigit(entry[i]))
                return false;
        for (int i = 11; i < 16; ++i)
            if (!isDigit(entry[i]))
                return false;
        return entry[10] == ' ' && entry[16] == ' ' && (entry[17] == 'n' || entry[17] == 'f') &&
               isSpace(entry[18]) && isSpace(entry[19]);
    }

    std::shared_ptr<InputSource> m_input;
    qint64 m_fileSize;
    Claims &m_claims;
    QPDF m_context; // what references in the parsed dictionaries point into; never read
    QPDFTokenizer m_tokenizer;
};

#if defined(__x86_64__)
// Thirty-two positions a step where the processor has AVX2: a bit for each where "obj" or "tra"
// begins.
__attribute__((target("avx2"))) unsigned candidates32(const char *bytes)
{
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes + 1));
    const __m256i third = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bytes + 2));
    const __m256i obj = _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8('o')),
                                                          _mm256_cmpeq_epi8(second, _mm256_set1_epi8('b'))),
                                         _mm256_cmpeq_epi8(third, _mm256_set1_epi8('j')));
    const __m256i tra = _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8('t')),
                                                          _mm256_cmpeq_epi8(second, _mm256_set1_epi8('r'))),
                                         _mm256_cmpeq_epi8(third, _mm256_set1_epi8('a')));
    return unsigned(_mm256_movemask_epi8(_mm256_or_si256(obj, tra)));
}

template <typename Found>
__attribute__((target("avx2"))) size_t forEachCandidateWide(const char *bytes, size_t i, size_t to,
                                                            Found &found)
{
    for (; i + 32 <= to; i += 32)
        for (unsigned mask = candidates32(bytes + i); mask != 0; mask &= mask - 1)
            found(i + size_t(std::countr_zero(mask)));
    return i;
}
#endif

// Calls found(i) for every i in [from, to) where "obj" or "tra" begins. Two bytes after to are read.
template <typename Found> void forEachCandidate(const char *bytes, size_t from, size_t to, Found found)
{
    size_t i = from;
#if defined(__x86_64__)
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide)
        i = forEachCandidateWide(bytes, i, to, found);
#endif
    for (; i < to; ++i)
        if ((bytes[i] == 'o' && bytes[i + 1] == 'b' && bytes[i + 2] == 'j') ||
            (bytes[i] == 't' && bytes[i + 1] == 'r' && bytes[i + 2] == 'a'))
            found(i);
}

// Every object header in the file, and every dictionary after "trailer", as poppler's rebuild may
// find them.
void scanBytes(QFile &file, SectionReader &reader, Claims &claims)
{
    static constexpr std::string_view trailer = "trailer";
    // The last bytes of a chunk wait for the next one, into which a "trailer" may run; at the end of
    // the file, blanks stand in for it.
    constexpr size_t held = trailer.size() - 1;
    std::vector<char> buffer(size_t(lookBack + chunkSize));
    qint64 kept = 0; // carried over from the previous chunk
    qint64 base = 0; // the file offset of buffer[0]
    bool atEnd = !file.seek(0);
    while (!atEnd && !claims.exceeded()) {
        qint64 got = file.read(buffer.data() + kept, chunkSize);
        if (got <= 0) {
            atEnd = true;
            got = qint64(held);
            std::memset(buffer.data() + kept, ' ', held);
        }
        const std::string_view bytes(buffer.data(), size_t(kept + got));
        const size_t from = size_t(std::max<qint64>(0, kept - qint64(held)));
        const size_t to = std::max(from, bytes.size() - std::min(bytes.size(), held));
        forEachCandidate(bytes.data(), from, to, [&](size_t at) {
            if (bytes[at] == 'o') {
                claims.objectNumber(headerNumber(bytes, at, base > 0));
                return;
            }
            if (bytes.substr(at, trailer.size()) != trailer)
                return;
            // poppler takes a trailer only when a dictionary follows, perhaps after a comment
            size_t next = at + trailer.size();
            while (next < bytes.size() && isSpace(bytes[next]))
                ++next;
            if (next == bytes.size() || bytes[next] == '<' || bytes[next] == '%')
                reader.trailerAt(base + qint64(at + trailer.size()));
        });
        const qint64 carry = std::min<qint64>(qint64(bytes.size()), lookBack);
        std::memmove(buffer.data(), buffer.data() + bytes.size() - size_t(carry), size_t(carry));
        base += qint64(bytes.size()) - carry;
        kept = carry;
    }
}

} // namespace

namespace PdfXrefBound {

bool claimsImpossibleObject(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Claims claims(file.size());
    try {
        SectionReader reader(path, file.size(), claims);
        reader.follow(sectionStarts(file));
        scanBytes(file, reader, claims);
    } catch (const std::exception &) {
        // qpdf could not open the file at all: neither can poppler, which then claims nothing
    }
    return claims.exceeded();
}

} // namespace PdfXrefBound

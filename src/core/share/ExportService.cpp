#include "core/share/ExportService.h"

#include "core/storage/StateFile.h"
#include "core/text/TextUtils.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <vector>

namespace {

const QLatin1String header("PDF File,Page Number,Page Span,Bookmark Title,Level,Genre,Style,"
                           "First Release Year,Composer,Tempo,Rating,Spotify URL,YouTube URL");

// Whether a spreadsheet could run the cell once our apostrophes are gone: any number of apostrophes
// and then "=", "+", "-", "@", a tab or a carriage return.
bool mayRunAsFormula(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && text[at] == QLatin1Char('\''))
        ++at;
    if (at == text.size())
        return false;
    const char16_t c = text[at].unicode();
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

// Such a cell is written with one apostrophe more, so that the reader, which removes one from such a
// cell, gives back what was written whatever apostrophes the text had of its own.
QString guarded(const QString &text)
{
    return mayRunAsFormula(text) ? QLatin1Char('\'') + text : text;
}

// Every character the reader ends a row at is quoted, as are commas and quotes.
void appendEscaped(QString &out, const QString &text)
{
    const QString cell = guarded(text);
    const bool quote = std::any_of(cell.cbegin(), cell.cend(), [](QChar c) {
        return c == QLatin1Char(',') || c == QLatin1Char('"') || TextUtils::isLineBreak(c.unicode());
    });
    if (!quote) {
        out += cell;
        return;
    }
    out += QLatin1Char('"');
    for (QChar c : cell) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
}

// "%.1f" in the C locale whatever the process locale says; nothing for a missing or non-finite rating.
void appendRating(QString &out, const std::optional<double> &rating)
{
    const auto value = TextUtils::finiteRating(rating);
    if (!value)
        return;
    char buffer[400]; // room for the largest double in fixed notation
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::fixed, 1);
    out += QLatin1String(buffer, written.ptr);
}

void appendLine(QString &out, const BookmarkEntry &e)
{
    const QLatin1Char comma(',');
    appendEscaped(out, e.pdfFileName);
    out += comma + QString::number(e.pageNumber) + comma + QString::number(e.pageSpan) + comma;
    appendEscaped(out, TextUtils::foldedTitle(e.title));
    out += comma + QString::number(e.level) + comma;
    appendEscaped(out, TextUtils::fieldText(e.genre));
    out += comma;
    appendEscaped(out, TextUtils::fieldText(e.style));
    out += comma;
    if (e.firstReleaseYear)
        out += QString::number(*e.firstReleaseYear);
    out += comma;
    appendEscaped(out, TextUtils::fieldText(e.composer));
    out += comma;
    appendEscaped(out, TextUtils::fieldText(e.tempo));
    out += comma;
    appendRating(out, e.rating);
    out += comma;
    appendEscaped(out, TextUtils::fieldText(e.spotifyURL));
    out += comma;
    appendEscaped(out, TextUtils::fieldText(e.youtubeURL));
}

// Positions into bookmarks in export order.
std::vector<qsizetype> exportOrder(const BookmarkList &bookmarks)
{
    QStringList names;
    names.reserve(bookmarks.size());
    for (const BookmarkEntry &e : bookmarks)
        names.append(TextUtils::nfc(e.pdfFileName));
    std::vector<qsizetype> order(size_t(bookmarks.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        if (const int byName = TextUtils::compareCodePoints(names[a], names[b]))
            return byName < 0;
        return bookmarks[a].pageNumber < bookmarks[b].pageNumber;
    });
    return order;
}

} // namespace

namespace ExportService {

QString unguardedCell(const QString &text)
{
    return text.startsWith(QLatin1Char('\'')) && mayRunAsFormula(text) ? text.sliced(1) : text;
}

QString suggestedFileName()
{
    return QStringLiteral("PDF_Bookmarks.csv");
}

QByteArray csvText(const BookmarkList &bookmarks)
{
    QString text;
    text.reserve(header.size() + bookmarks.size() * 160);
    text += header;
    for (qsizetype i : exportOrder(bookmarks)) {
        text += QLatin1Char('\n');
        appendLine(text, bookmarks[i]);
    }
    return text.toUtf8();
}

bool writeCSV(const QString &path, const BookmarkList &bookmarks, QString *error)
{
    return StateFile::writeCopy(path, csvText(bookmarks), error);
}

} // namespace ExportService

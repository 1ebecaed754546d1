// The exports of titles from other people's books: the library's CSV reads back as written (titles
// folded, metadata texts cleaned), and the playlist's text and HTML keep their shape whatever the titles
// hold.

#include "FuzzSupport.h"
#include "core/metadata/MetadataImport.h"
#include "core/share/ExportService.h"
#include "core/share/PlaylistTextExport.h"
#include "core/text/TextUtils.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Texts separated by 0x01: the playlist's name, then per title its title, book, genre and composer.
    const QStringList texts = QString::fromUtf8(fuzzInput(data, size)).split(QChar(1));
    const QString name = texts.first();
    BookmarkList bookmarks;
    QList<PlaylistItem> items;
    for (qsizetype i = 1; i < texts.size() && bookmarks.size() < 50; i += 4) {
        BookmarkEntry e;
        e.title = texts.value(i);
        e.pdfFileName = texts.value(i + 1);
        e.pdfFilePath = QStringLiteral("/books/x.pdf");
        e.genre = texts.value(i + 2);
        e.composer = texts.value(i + 3);
        e.pageNumber = bookmarks.size() + 1;
        bookmarks.append(e);
        items.append(PlaylistItem::fromBookmark(e));
    }

    // CSV: every row reads back with the texts it was written with, its title folded and its metadata
    // texts cleaned.
    const Result<QList<MetadataRecord>> records = MetadataImport::parseCSV(ExportService::csvText(bookmarks));
    FUZZ_CHECK(records && records.value().size() == bookmarks.size());
    for (const MetadataRecord &r : records.value()) {
        FUZZ_CHECK(r.pageNumber && *r.pageNumber >= 1 && *r.pageNumber <= bookmarks.size());
        const BookmarkEntry &e = bookmarks.at(*r.pageNumber - 1);
        FUZZ_CHECK(r.title == TextUtils::foldedTitle(e.title) && r.pdfFileName == e.pdfFileName &&
                   r.genre == TextUtils::fieldText(e.genre) &&
                   r.composer == TextUtils::fieldText(e.composer));
    }

    // Text: the name, an empty line, one line per title; no title makes a line of its own or carries a
    // control character.
    const QString text = PlaylistTextExport::textDetailed(items, name, true, true);
    FUZZ_CHECK(text.count(QLatin1Char('\n')) == items.size() + 1);
    for (QChar c : text)
        FUZZ_CHECK(c == QLatin1Char('\n') ||
                   (!TextUtils::isLineBreak(c.unicode()) && c.category() != QChar::Other_Control));

    // HTML: the markup of plain titles, whatever the titles hold.
    QList<PlaylistItem> plain = items;
    for (PlaylistItem &item : plain) {
        item.title = QStringLiteral("t");
        item.pdfFileName = QStringLiteral("b");
    }
    const QString html = PlaylistTextExport::html(items, name, true, true);
    const QString markup = PlaylistTextExport::html(plain, QStringLiteral("n"), true, true);
    for (const char c : {'<', '>', '"'})
        FUZZ_CHECK(html.count(QLatin1Char(c)) == markup.count(QLatin1Char(c)));
    return 0;
}

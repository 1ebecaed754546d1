// lyrafold-extract-bookmarks: prints the songs that the library's own extractor finds in the outline of
// a PDF book, as records of the built-in bookmark list. The built-in list of a real book is made from
// this output, so the program ships exactly what a user's own extraction of that book would give.

#include "core/json/JsonWriter.h"
#include "pdf/extract/PdfBookmarkExtractor.h"

#include <QSet>
#include <QString>

#include <cstdio>
#include <string_view>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: lyrafold-extract-bookmarks [--file-name NAME] [--recorded-path PATH]\n"
                 "                                  [--skip-title TITLE]... BOOK.pdf\n"
                 "  --file-name NAME      file name the records give the book (default: that of BOOK.pdf)\n"
                 "  --recorded-path PATH  path the records say the book was found at (default: BOOK.pdf)\n"
                 "  --skip-title TITLE    leave out the entries with exactly this title; for outline\n"
                 "                        entries that pass the title rules but are no song, such as a\n"
                 "                        book's contents page (may be given more than once)\n"
                 "The records are printed to standard output as a JSON array, one member per line.\n");
    return 2;
}

QByteArray records(const BookmarkList &bookmarks)
{
    json::JsonWriter writer(4096, json::JsonWriter::Layout::Indented);
    writer.beginArray();
    for (const BookmarkEntry &entry : bookmarks) {
        writer.beginObject();
        writer.key("PdfFileName");
        writer.value(entry.pdfFileName);
        writer.key("PdfFilePath");
        writer.value(entry.pdfFilePath);
        writer.key("PageNumber");
        writer.value(entry.pageNumber);
        writer.key("Title");
        writer.value(entry.title);
        writer.key("Level");
        writer.value(entry.level);
        writer.key("PageSpan");
        writer.value(entry.pageSpan);
        writer.key("TotalPages");
        writer.value(entry.totalPages);
        // The extractor fills no other metadata field; a composer comes only from the outline's text.
        if (!entry.composer.isEmpty()) {
            writer.key("Composer");
            writer.value(entry.composer);
        }
        writer.endObject();
    }
    writer.endArray();
    QByteArray json = writer.take();
    if (!json.isEmpty())
        json.append('\n');
    return json;
}

} // namespace

int main(int argc, char *argv[])
{
    QString bookPath;
    QString fileName;
    QString recordedPath;
    QSet<QString> skippedTitles;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (!option.starts_with("--")) {
            if (!bookPath.isEmpty())
                return usage();
            bookPath = QString::fromLocal8Bit(argv[i]);
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        const QString value = QString::fromLocal8Bit(argv[++i]);
        if (option == "--file-name")
            fileName = value;
        else if (option == "--recorded-path")
            recordedPath = value;
        else if (option == "--skip-title")
            skippedTitles.insert(value);
        else
            return usage();
    }
    if (bookPath.isEmpty())
        return usage();

    BookmarkList bookmarks = PdfBookmarkExtractor::extractBookmarks(bookPath);
    if (bookmarks.isEmpty()) {
        std::fprintf(stderr, "lyrafold-extract-bookmarks: no songs in %s (not a PDF, or no outline)\n",
                     qPrintable(bookPath));
        return 1;
    }
    const qsizetype found = bookmarks.size();
    bookmarks.removeIf([&](const BookmarkEntry &entry) { return skippedTitles.contains(entry.title); });
    if (bookmarks.size() + skippedTitles.size() != found) {
        // A title that matched nothing, or more than once, means the book is not the one the caller
        // thought it was: stop rather than print a list that quietly differs.
        std::fprintf(stderr, "lyrafold-extract-bookmarks: %lld entries left out for %lld titles to skip\n",
                     static_cast<long long>(found - bookmarks.size()),
                     static_cast<long long>(skippedTitles.size()));
        return 1;
    }
    for (BookmarkEntry &entry : bookmarks) {
        if (!fileName.isEmpty())
            entry.pdfFileName = fileName;
        if (!recordedPath.isEmpty())
            entry.pdfFilePath = recordedPath;
    }

    const QByteArray json = records(bookmarks);
    if (json.isEmpty()) {
        std::fprintf(stderr, "lyrafold-extract-bookmarks: the records could not be encoded\n");
        return 1;
    }
    if (std::fwrite(json.constData(), 1, size_t(json.size()), stdout) != size_t(json.size()) ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "lyrafold-extract-bookmarks: cannot write the records\n");
        return 1;
    }
    return 0;
}

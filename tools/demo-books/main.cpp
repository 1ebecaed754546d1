// lyrafold-make-demo-books: writes the demo songbooks and the records of their songs.

#include "DemoBookWriter.h"
#include "DemoCatalogue.h"

#include "core/storage/StateFile.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

// Where the books are said to have been recorded; the user's own folder replaces it on loading.
const char *const defaultRecordedFolder = "/home/user/Documents/Fakebooks";

int usage()
{
    std::fprintf(stderr,
                 "usage: lyrafold-make-demo-books [--pdf-dir DIR] [--bookmarks FILE] [--metadata FILE]\n"
                 "                                [--recorded-folder DIR]\n"
                 "  --pdf-dir DIR          write the demo books into DIR\n"
                 "  --bookmarks FILE       write their songs as a built-in bookmark list\n"
                 "  --metadata FILE        write their songs' title metadata\n"
                 "  --recorded-folder DIR  folder named in the bookmarks' paths (default %s)\n",
                 defaultRecordedFolder);
    return 2;
}

bool writeJson(const std::string &path, const QByteArray &bytes)
{
    QString error;
    if (bytes.isEmpty() || !StateFile::write(QString::fromStdString(path), bytes, &error)) {
        std::fprintf(stderr, "lyrafold-make-demo-books: cannot write %s: %s\n", path.c_str(),
                     qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    std::string pdfDir;
    std::string bookmarksPath;
    std::string metadataPath;
    std::string recordedFolder = defaultRecordedFolder;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc)
            return usage();
        const char *value = argv[++i];
        if (option == "--pdf-dir")
            pdfDir = value;
        else if (option == "--bookmarks")
            bookmarksPath = value;
        else if (option == "--metadata")
            metadataPath = value;
        else if (option == "--recorded-folder")
            recordedFolder = value;
        else
            return usage();
    }
    if (pdfDir.empty() && bookmarksPath.empty() && metadataPath.empty())
        return usage();

    if (!pdfDir.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(pdfDir, ignored);
        for (const DemoCatalogue::Book &book : DemoCatalogue::books()) {
            std::string error;
            const std::string path = pdfDir + '/' + book.fileName;
            if (!DemoBookWriter::write(book, path, &error)) {
                std::fprintf(stderr, "lyrafold-make-demo-books: cannot write %s: %s\n", path.c_str(),
                             error.c_str());
                return 1;
            }
        }
    }
    if (!bookmarksPath.empty() && !writeJson(bookmarksPath, DemoCatalogue::bookmarkRecords(recordedFolder)))
        return 1;
    if (!metadataPath.empty() && !writeJson(metadataPath, DemoCatalogue::metadataRecords()))
        return 1;
    return 0;
}

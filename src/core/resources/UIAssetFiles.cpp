#include "core/resources/UIAssetFiles.h"

#include "core/resources/BundledResources.h"

#include <QHash>

namespace {

const QString uiFolder = QStringLiteral("UI");
const QString coverFolder = QStringLiteral("UI/Covers");

void appendIfPresent(QStringList &files, const QString &folder, const QString &baseName, const QString &ext)
{
    if (const auto path = BundledResources::find(folder, baseName, ext); path && !files.contains(*path))
        files.append(*path);
}

} // namespace

namespace UIAssetFiles {

QString legacyWindowsBaseName(const QString &name)
{
    static const QHash<QString, QString> older = {
        {QStringLiteral("header_logo"), QStringLiteral("HeaderLogo")},
        {QStringLiteral("extract_bookmarks"), QStringLiteral("extractbookmarks")},
        {QStringLiteral("default_bookmarks"), QStringLiteral("defaultbookmarks")},
        {QStringLiteral("auto_playlist"), QStringLiteral("autoplaylist")},
        {QStringLiteral("bookmark_workshop"), QStringLiteral("bookmarkworkshop")},
        {QStringLiteral("merge_slots"), QStringLiteral("Merge")},
        {QStringLiteral("listen"), QStringLiteral("listen")},
        {QStringLiteral("playlists"), QStringLiteral("playlists")},
        {QStringLiteral("select_folder"), QStringLiteral("select folder")},
        {QStringLiteral("spotify"), QStringLiteral("spotify")},
        {QStringLiteral("youtube"), QStringLiteral("youtube")},
        {QStringLiteral("edit_metadata"), QStringLiteral("pencil")},
        {QStringLiteral("import_metadata"), QStringLiteral("musicbrainz")},
        {QStringLiteral("auto_tag"), QStringLiteral("musicbrainz")},
        {QStringLiteral("manuscript_background"), QStringLiteral("Blank aged manuscrip")},
        {QStringLiteral("clear_slot"), QStringLiteral("delete")},
        {QStringLiteral("copy_slot"), QStringLiteral("bookswap")},
        {QStringLiteral("bookswap"), QStringLiteral("bookswap")},
        {QStringLiteral("book_swap"), QStringLiteral("bookswap")},
        {QStringLiteral("new_extraction"), QStringLiteral("extract")},
        {QStringLiteral("tag_selected"), QStringLiteral("titleswap")},
        {QStringLiteral("titleswap"), QStringLiteral("titleswap")},
        {QStringLiteral("title_swap"), QStringLiteral("titleswap")},
        {QStringLiteral("save_slot"), QStringLiteral("save_slot")},
    };
    return older.value(name);
}

QStringList imageFiles(const QString &name)
{
    static const QStringList extensions = {QStringLiteral("png"), QStringLiteral("jpg"),
                                           QStringLiteral("jpeg")};
    QStringList files;
    if (name.isEmpty())
        return files;
    for (const QString &baseName : {legacyWindowsBaseName(name), name}) {
        if (baseName.isEmpty())
            continue;
        for (const QString &ext : extensions)
            appendIfPresent(files, uiFolder, baseName, ext);
    }
    return files;
}

QStringList coverFiles(const QString &pdfFileName)
{
    QStringList files;
    // Names come from bookmarks, which imported lists fill in; a path here must not reach outside
    // the covers folder.
    if (pdfFileName.isEmpty() || pdfFileName.contains(QLatin1Char('/')))
        return files;
    appendIfPresent(files, coverFolder, pdfFileName, QStringLiteral("png"));
    const qsizetype dot = pdfFileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? pdfFileName.left(dot) : pdfFileName;
    appendIfPresent(files, coverFolder, stem + QStringLiteral(".pdf"), QStringLiteral("png"));
    return files;
}

} // namespace UIAssetFiles

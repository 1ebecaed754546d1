#include "core/imports/ImportableFiles.h"

#include <QFileInfo>
#include <QMimeData>
#include <QMimeDatabase>

#include <algorithm>

namespace ImportableFiles {

bool isImportable(const QString &path)
{
    static const QStringList pictureExtensions = {
        QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
        QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("tif"),
        QStringLiteral("tiff"), QStringLiteral("webp"), QStringLiteral("bmp")};
    const QString extension = QFileInfo(path).suffix();
    if (extension.isEmpty())
        return false;
    const QString lower = extension.toLower();
    if (lower == QLatin1String("pdf") || pictureExtensions.contains(lower))
        return true;
    const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(QStringLiteral("x.") + extension);
    return std::any_of(types.begin(), types.end(),
                       [](const QMimeType &type) { return type.name().startsWith(QLatin1String("image/")); });
}

bool isPdf(const QString &path)
{
    return QFileInfo(path).suffix().toLower() == QLatin1String("pdf");
}

QStringList importablePaths(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        // A folder is never searched, and one named like a book is no book either.
        if (!path.isEmpty() && isImportable(path) && !QFileInfo(path).isDir())
            paths.append(path);
    }
    return paths;
}

QStringList importablePaths(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    return importablePaths(data->urls());
}

} // namespace ImportableFiles

#include "import/ImagePdfImportService.h"

#include "common/AppPaths.h"

#include <QDir>

namespace ImagePdfImportService {

Result<QString> defaultLibraryDirectory()
{
    const QString path = AppPaths::importLibraryPath();
    if (path.isEmpty())
        return Result<QString>::failure(QStringLiteral("The Documents folder could not be determined."));
    if (!QDir().mkpath(path))
        return Result<QString>::failure(QStringLiteral("Could not create the folder %1.").arg(path));
    return path;
}

} // namespace ImagePdfImportService

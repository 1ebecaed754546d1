#include "core/resources/BundledResources.h"

#include <QFileInfo>
#include <QMutex>

namespace {

QMutex overrideLock;
QString overrideRoot;

} // namespace

namespace BundledResources {

QString rootPath()
{
    {
        QMutexLocker locker(&overrideLock);
        if (!overrideRoot.isEmpty())
            return overrideRoot;
    }
    const QString fromEnvironment = qEnvironmentVariable("LYRAFOLD_RESOURCE_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(":/lyrafold") : fromEnvironment;
}

std::optional<QString> find(const QString &subfolder, const QString &baseName, const QString &extension)
{
    QString path = rootPath();
    if (!subfolder.isEmpty())
        path += QLatin1Char('/') + subfolder;
    path += QLatin1Char('/') + baseName + QLatin1Char('.') + extension;
    if (QFileInfo(path).isFile())
        return path;
    return std::nullopt;
}

void setRootForTesting(const QString &path)
{
    QMutexLocker locker(&overrideLock);
    overrideRoot = path;
}

} // namespace BundledResources

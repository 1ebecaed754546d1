#include "ui/common/LyrafoldUIAssets.h"

#include "core/resources/BundledResources.h"
#include "core/resources/UIAssetFiles.h"

#include <QGuiApplication>
#include <QHash>

#include <cmath>

namespace {

QImage firstLoadable(const QStringList &files)
{
    for (const QString &file : files) {
        QImage loaded(file);
        if (!loaded.isNull())
            return loaded;
    }
    return {};
}

} // namespace

namespace LyrafoldUIAssets {

QImage image(const QString &resource, const QString &ext)
{
    const auto path = BundledResources::find(QStringLiteral("UI"), resource, ext);
    return path ? QImage(*path) : QImage();
}

QImage image(const QString &name)
{
    return firstLoadable(UIAssetFiles::imageFiles(name));
}

QPixmap image(const QString &name, qreal maxSide)
{
    const QImage loaded = image(name);
    if (loaded.isNull())
        return {};
    return QPixmap::fromImage(scaledDown(loaded, maxSide, qApp ? qApp->devicePixelRatio() : 1.0));
}

QImage scaledDown(const QImage &image, qreal maxSide, qreal devicePixelRatio)
{
    if (image.isNull() || !(maxSide > 0))
        return {};
    const QSizeF logical = image.deviceIndependentSize();
    const qreal scale = std::min(maxSide / std::max(logical.width(), logical.height()), 1.0);
    if (scale >= 1.0)
        return image;
    const QSizeF target = logical * scale;
    const qreal ratio = std::max(devicePixelRatio, 1.0);
    QSize pixels(qRound(target.width() * ratio), qRound(target.height() * ratio));
    if (pixels.width() > image.width() || pixels.height() > image.height())
        pixels = image.size();
    QImage result =
        image.scaled(pixels.expandedTo(QSize(1, 1)), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The ratio of the longer side, so that side comes out at exactly maxSide.
    result.setDevicePixelRatio(target.width() >= target.height() ? result.width() / target.width()
                                                                 : result.height() / target.height());
    return result;
}

QIcon systemSymbol(const QString &symbolName)
{
    // The freedesktop icon naming names where one fits; the rest are drawn for us only.
    static const QHash<QString, QString> themeNames = {
        {QStringLiteral("questionmark.circle"), QStringLiteral("dialog-question")},
        {QStringLiteral("switch.2"), QString()},
        {QStringLiteral("magnifyingglass"), QStringLiteral("edit-find")},
        {QStringLiteral("play.rectangle.on.rectangle"), QStringLiteral("media-playback-start")},
        {QStringLiteral("arrow.left.arrow.right"), QString()},
        {QStringLiteral("number"), QString()},
        {QStringLiteral("book.pages"), QString()},
        {QStringLiteral("hand.draw"), QString()},
        {QStringLiteral("arrow.counterclockwise"), QStringLiteral("view-refresh")},
        {QStringLiteral("plus.circle"), QStringLiteral("list-add")},
        {QStringLiteral("trash"), QStringLiteral("user-trash")},
        {QStringLiteral("music.note.list"), QStringLiteral("audio-x-generic")},
        {QStringLiteral("rectangle.stack"), QString()},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("document-send")},
        {QStringLiteral("line.3.horizontal.decrease.circle"), QString()},
        {QStringLiteral("metronome"), QString()},
        {QStringLiteral("books.vertical"), QString()},
        {QStringLiteral("dice"), QString()},
        {QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("view-refresh")},
        {QStringLiteral("rectangle.grid.2x2"), QString()},
        {QStringLiteral("link"), QStringLiteral("insert-link")},
        {QStringLiteral("eye"), QString()},
        {QStringLiteral("arrow.down.doc"), QString()},
        {QStringLiteral("photo"), QStringLiteral("image-x-generic")},
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("document-save")},
        {QStringLiteral("tag"), QString()},
        {QStringLiteral("tag.fill"), QString()},
        {QStringLiteral("gearshape.circle.fill"), QStringLiteral("preferences-system")},
        {QStringLiteral("arrow.down.right.and.arrow.up.left"), QString()},
    };
    const auto known = themeNames.constFind(symbolName);
    if (known == themeNames.cend())
        return {};
    QIcon bundled;
    if (const auto path =
            BundledResources::find(QStringLiteral("UI/Symbols"), symbolName, QStringLiteral("png")))
        bundled = QIcon(*path);
    return known->isEmpty() ? bundled : QIcon::fromTheme(*known, bundled);
}

} // namespace LyrafoldUIAssets

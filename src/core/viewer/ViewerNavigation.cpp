#include "core/viewer/ViewerNavigation.h"

#include "core/common/UiText.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace ViewerNavigation {

std::optional<int> turnedPage(int current, int pageCount, PageDisplayMode mode, int direction)
{
    if (pageCount < 1)
        return std::nullopt;
    const int step = mode == PageDisplayMode::twoUp ? 2 : 1;
    const int target = std::clamp(current + (direction > 0 ? step : -step), 0, pageCount - 1);
    if (target == current)
        return std::nullopt;
    return target;
}

std::optional<ViewKeyMove> viewKeyMove(ViewKey key, const VerticalScroll &scroll, int currentPage,
                                       int pageCount, PageDisplayMode mode)
{
    const auto scrollBy = [&](int distance) -> std::optional<ViewKeyMove> {
        const int target = std::clamp(scroll.value + distance, 0, std::max(scroll.maximum, 0));
        if (target == scroll.value)
            return std::nullopt;
        return ViewKeyMove{target, std::nullopt, false};
    };
    const auto show = [&](std::optional<int> page, bool atBottom) -> std::optional<ViewKeyMove> {
        if (!page)
            return std::nullopt;
        return ViewKeyMove{std::nullopt, page, atBottom};
    };
    switch (key) {
    case ViewKey::pageDown:
        if (scroll.value < scroll.maximum)
            return scrollBy(scroll.pageStep);
        return show(turnedPage(currentPage, pageCount, mode, 1), false);
    case ViewKey::pageUp:
        if (scroll.value > 0)
            return scrollBy(-scroll.pageStep);
        return show(turnedPage(currentPage, pageCount, mode, -1), true);
    case ViewKey::lineDown:
        return scrollBy(scroll.lineStep);
    case ViewKey::lineUp:
        return scrollBy(-scroll.lineStep);
    case ViewKey::firstPage:
    case ViewKey::lastPage: {
        if (pageCount < 1)
            return std::nullopt;
        const int page = key == ViewKey::firstPage ? 0 : pageCount - 1;
        if (page == currentPage && scroll.value == 0)
            return std::nullopt;
        return show(page, false);
    }
    }
    return std::nullopt;
}

std::optional<qint64> parsePageNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

int pageIndexForNumber(qint64 number, int pageCount)
{
    // Clamped before the subtraction, which would overflow for the smallest 64-bit number.
    const qint64 page = std::clamp<qint64>(number, 1, std::max(pageCount, 1));
    return int(page - 1);
}

qint64 clampedPlaylistIndex(qint64 index, qsizetype itemCount)
{
    return std::clamp<qint64>(index, 0, std::max<qint64>(itemCount, 0));
}

QString truncatedPlaylistTitle(const QString &title, int maxLength)
{
    const QString trimmed = title.trimmed();
    // Counted in characters, so a letter outside the basic plane is never cut in half.
    const QList<uint> characters = trimmed.toUcs4();
    if (characters.size() <= maxLength)
        return trimmed;
    const qsizetype kept = std::max(maxLength - 1, 0);
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()), kept) +
           QChar(0x2026);
}

bool coverPageRemovedForTwoPage(qint64 titlePageSpan, qint64 titleStartPage)
{
    return titlePageSpan >= 2 && titleStartPage % 2 != 0;
}

QString couldNotOpenText(const QString &fileName)
{
    return UiText::tr("Could not open %1").arg(fileName);
}

QString currentTitle(const TitleContext &context)
{
    const QString initial = context.initialTitle.value_or(QString());
    if (context.failedFileName)
        return couldNotOpenText(*context.failedFileName);
    if (context.playlistItems && context.playlistCurrentIndex >= 0 &&
        context.playlistCurrentIndex < context.playlistItems->size())
        return context.playlistItems->at(context.playlistCurrentIndex).title;
    if (!context.currentPageIndex)
        return initial;
    if (!context.userHasBrowsedPages && !initial.isEmpty())
        return initial;
    const qint64 page = qint64(*context.currentPageIndex) + 1;
    if (context.sourcePdfBookmarks) {
        for (const BookmarkEntry &entry : *context.sourcePdfBookmarks) {
            const qint64 last = entry.pageNumber + std::max<qint64>(entry.pageSpan, 1) - 1;
            if (entry.pageNumber <= page && page <= last)
                return entry.title;
        }
    }
    return initial;
}

qint64 currentTitlePageSpan(const SpanContext &context)
{
    const auto span = [](qint64 value) { return std::max<qint64>(value, 1); };
    if (context.playlistItems && context.playlistCurrentIndex >= 0 &&
        context.playlistCurrentIndex < context.playlistItems->size())
        return span(context.playlistItems->at(context.playlistCurrentIndex).pageSpan);
    if (context.bookmarkEntry && context.bookmarkEntry->has_value())
        return span((*context.bookmarkEntry)->pageSpan);
    if (!context.sourcePdfBookmarks)
        return 1;
    const BookmarkList &entries = *context.sourcePdfBookmarks;
    const auto startsHere = [&](const BookmarkEntry &entry) {
        return entry.pageNumber == context.currentPageNumber;
    };
    for (const BookmarkEntry &entry : entries) {
        if (startsHere(entry) && entry.pdfFilePath == context.currentPdfPath)
            return span(entry.pageSpan);
    }
    for (const BookmarkEntry &entry : entries) {
        if (startsHere(entry))
            return span(entry.pageSpan);
    }
    return 1;
}

} // namespace ViewerNavigation

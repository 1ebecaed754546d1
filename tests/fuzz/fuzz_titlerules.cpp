// The rules that make song titles, page markers and composers out of outline labels.

#include "FuzzSupport.h"
#include "core/titles/BookmarkTitleRules.h"

using namespace BookmarkTitleRules;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString label = QString::fromUtf8(fuzzInput(data, size));
    qint64 page = qint64(size % 7);
    qint64 span = 1;
    const QString title = cleanTitle(label.trimmed(), page, span);
    FUZZ_CHECK(page >= 0 && span >= 1);
    shouldExcludeBookmarkTitle(title);
    extractComposerFromBookmarkTitle(label);
    const TitleAndComposer split = extractTrailingComposerFromTitle(title);
    if (split.composer.isEmpty())
        FUZZ_CHECK(split.title == title);
    else
        FUZZ_CHECK(isLikelyComposerText(split.composer) && !split.title.isEmpty());
    return 0;
}

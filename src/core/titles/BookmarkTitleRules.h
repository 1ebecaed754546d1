#pragma once

#include <QString>

#include <optional>

// The text rules applied to the labels of PDF outline items: cleaning a label into a song title,
// reading page markers out of it, telling non-songs apart and finding a composer in it. Pure
// functions, safe on any thread.
namespace BookmarkTitleRules {

// Cleans a trimmed outline label. pageNumber comes in as the item's destination page (0 when none)
// and pageSpan as 1; both may be overwritten by page markers found in the label.
QString cleanTitle(const QString &label, qint64 &pageNumber, qint64 &pageSpan);

// True when the text is not a song title (absent, blank, only bracketed notes, no letter or digit).
bool shouldExcludeBookmarkTitle(const std::optional<QString> &title);

// The composer named by an explicit composer note such as "(Composer: ...)", or empty text.
QString extractComposerFromBookmarkTitle(const QString &label);

// True when the text looks like the name of one or more persons.
bool isLikelyComposerText(const QString &text);

struct TitleAndComposer {
    QString title;
    QString composer;
};

// Splits a trailing bracketed name off a title when it looks like a composer; otherwise gives the
// title back unchanged with an empty composer.
TitleAndComposer extractTrailingComposerFromTitle(const QString &title);

} // namespace BookmarkTitleRules

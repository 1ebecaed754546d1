#pragma once

#include <QString>

// MERGE SEAM: stands in for LyrafoldLanguageService, which is built on another branch. Point current()
// at LyrafoldLanguageService::current() and localized() at LyrafoldLanguageService::localized() when
// it arrives, then remove this file. Until then every text stays English: there are no tables here.
namespace LanguageSeam {

enum class Language { en, tr, es };

// The interface language as stored under "Lyrafold.uiLanguage"; English when unset or unknown.
Language current();

// The text in the interface language; for now the English text itself.
QString localized(const QString &english);

// One of three inline texts, by the interface language.
QString choose(const QString &english, const QString &turkish, const QString &spanish);

} // namespace LanguageSeam

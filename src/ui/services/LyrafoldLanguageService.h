#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <utility>

class QWidget;

// The interface languages; the raw values "en", "tr", "es" are what the settings hold.
enum class LyrafoldLanguage { en, tr, es };

// The interface language and the translation of English interface texts. The language lives in the
// settings only, so every window sees a switch at once and it survives restarts.
//
// apply() translates a widget tree from the texts each widget showed when apply() first met it: those
// are kept on the widget as dynamic properties, so later switches translate from the same base
// rather than from whatever the previous switch wrote. What counts:
// - buttons (QAbstractButton): the text (an icon-only button ends with no text) and the tool tip;
// - labels (QLabel) and read-only line edits: the text and the tool tip;
// - editable line edits, search fields included: the placeholder and the tool tip, never the typed text.
// Item views (QAbstractItemView) and everything inside them are skipped; their windows translate
// headers and cells themselves. Other widgets are only searched for children. Menus are never
// translated: their titles are English in every language.
//
// Only the texts the table holds change (see LyrafoldTranslations): every other text is English in
// every language. A widget marked with markKeptEnglish() (keptEnglishProperty) is not visited at all,
// nor is anything inside it: a window whose texts are English whatever the language (the viewer)
// keeps them even where a key of the table matches one of them.
//
// A label whose text the window writes itself (a result count, a status line) must carry the dynamic
// property dynamicTextProperty set to true (see markDynamicText()). apply() gives such a widget no base
// text and leaves its texts alone; otherwise the first text it met would come back, translated, at
// every switch. The window rewrites those labels itself when it sees languageChanged. A widget marked
// with markDynamicOwnText() (dynamicOwnTextProperty) loses only its own text to the window: its tool
// tip and placeholder are still translated.
namespace LyrafoldLanguageService {

inline constexpr char dynamicTextProperty[] = "lyrafoldDynamicText";
inline constexpr char dynamicOwnTextProperty[] = "lyrafoldDynamicOwnText";
inline constexpr char keptEnglishProperty[] = "lyrafoldKeptEnglish";

// Where the base texts are kept on a widget, one property per kind of text.
inline constexpr char baseTitleProperty[] = "lyrafoldBaseTitle";
inline constexpr char baseToolTipProperty[] = "lyrafoldBaseToolTip";
inline constexpr char baseTextProperty[] = "lyrafoldBaseText";
inline constexpr char basePlaceholderProperty[] = "lyrafoldBasePlaceholder";
inline constexpr char baseAccessibleNameProperty[] = "lyrafoldBaseAccessibleName";

QString rawValue(LyrafoldLanguage language);
std::optional<LyrafoldLanguage> languageFromRawValue(const QString &raw);

// The stored language, read afresh on every call; a missing or unknown value is English.
LyrafoldLanguage current();

// Stores the language, loads Qt's own texts in it (loadQtTranslations()) and posts
// "lyrafoldLanguageChanged" at once, so observers run with the new value; open windows are
// re-translated on the next turn of the event loop, after the observers.
void setCurrent(LyrafoldLanguage language);

// Gives Qt's own texts (the file dialogs, the standard buttons, the text fields' menus) the current
// language, from Qt's translations folder, in place of those given before. False when the
// language's file is missing: Qt's texts are then English. Called at start; the open windows learn
// of a switch through QEvent::LanguageChange.
bool loadQtTranslations();

// The one of three values that belongs to the language (a locale, texts of a catalogue of their own).
template <typename T> T pick(LyrafoldLanguage language, T english, T turkish, T spanish)
{
    switch (language) {
    case LyrafoldLanguage::tr:
        return turkish;
    case LyrafoldLanguage::es:
        return spanish;
    case LyrafoldLanguage::en:
        break;
    }
    return english;
}

// The English text in the current language; a text without a translation comes back unchanged. The
// sentences core makes (UiText::tr) are looked up in the same table, through a translator every process
// with a QCoreApplication and this library installs at start.
QString localized(const QString &english);
QString localized(const QString &english, LyrafoldLanguage language);

void apply(QWidget *root);

// Closes open help panels (they are rebuilt in the new language when opened again) and translates
// every other window, its title included, except dialogs and windows kept English.
void applyToOpenWindows();

void markDynamicText(QWidget *widget);
void markDynamicOwnText(QWidget *widget);
void markKeptEnglish(QWidget *widget);
// Whether widget, or a widget it lies in, is marked with markKeptEnglish().
bool keptEnglish(const QWidget *widget);

// The translations of one language as (English, translated) pairs in table order; empty for English.
QList<std::pair<QString, QString>> translationTable(LyrafoldLanguage language);

} // namespace LyrafoldLanguageService

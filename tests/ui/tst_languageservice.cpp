#include "Fixtures.h"
#include "MainWindowParts.h"
#include "ModalAnswer.h"
#include "OpenWindows.h"
#include "TestHarnessGui.h"
#include "core/bookmarks/LibraryColumns.h"
#include "core/common/AppSettings.h"
#include "core/common/NotificationBus.h"
#include "core/common/UiText.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"
#include "ui/app/AppContext.h"
#include "ui/autoplaylist/AutoPlaylistWindowController.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/common/StatusLine.h"
#include "ui/mainwindow/MainSettingsMenu.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/mainwindow/TileView.h"
#include "ui/mainwindow/WindowsStyleSlotTileView.h"
#include "ui/playlists/PlaylistsWindowController.h"
#include "ui/services/LyrafoldHelpCatalogue.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/workshop/WorkshopWindowController.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace Lang = LyrafoldLanguageService;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(LyrafoldLanguage)

namespace {

// The interface texts every language must cover, in table order, ahead of the rest of the table.
// clang-format off
const char16_t *const kExpectedKeys[] = {
    u"Settings", u"Language", u"Listen Microphone", u"System default microphone", u"Extract\nBookmarks",
    u"Default\nBookmarks", u"CUSTOM", u"DEFAULT", u"Slots:", u"Merge", u"Listen", u"Bookmark\nWorkshop",
    u"Import Song Data\nvia", u"Auto\nPlaylist", u"Playlists", u"Search Bookmarks",
    u"Search by title, composer, genre, style…", u"Edit", u"Tag selected", u"Delete selected", u"0 results",
    u"Done", u"Ready", u"Tips: press ＋ to add to playlist • hover to preview • click once to open page",
    u"Create New Playlist", u"Delete Playlist", u"Titles", u"Add Song",
    u"Select a playlist to see its titles.", u"Share Playlist", u"PDF Viewer", u"Page", u"of 0", u"Help",
    u"No folder selected", u"Add", u"Share", u"Bookmark Title", u"Genre", u"Style (rhythm/feel)", u"Year",
    u"Pages", u"Composer", u"Tempo", u"Rating", u"PDF File", u"Search first result on Spotify",
    u"Search first result on YouTube",
    u"When enabled, opening a title also opens the selected provider search.",
    u"Choose which provider Study mode opens.",
    u"Toggle column edit mode. Then click a column header to edit that column.",
    u"Auto-tag selected title rows with MusicBrainz-based metadata.",
    u"Delete selected title rows from the current slot.", u"Finish adding titles and return to Playlists",
    u"Add to playlist", u"Share this title (PDF or JPEG)", u"Open PDF", u"Auto-tag this row",
    u"Auto-tag selected row", u"Delete selected row", u"Single", u"2-Page", u"Zoom +", u"Zoom −", u"Fit",
    u"Cover page", u"Previous title", u"Next title", u"Fullscreen", u"Close", u"Toggle edit mode",
    u"Remove first page to switch left/right pairing in 2-page view", u"Add this bookmark to a playlist",
    u"Fullscreen (double-click or Esc to exit)", u"Text mode", u"Highlighter", u"Undo", u"Redo",
    u"Clear page", u"Thickness", u"Opacity", u"Sets", u"Genre(s)", u"Style(s)", u"Popularity", u"Year range",
    u"From 1900", u"Tempo map:", u"Generate", u"Empty fields = randomized.",
    u"Book priority (for multi-book titles)\nDrag to reorder, or select multiple (Ctrl/Shift) and use ↑ ↓.",
    u"↑ Move up", u"↓ Move down", u"Generated titles — click Generate above to create a list.",
    u"Study mode", u"Playlist name (for Save)", u"Name:", u"Save to playlists", u"Save to local disc",
    u"Share (show in folder, copy, e-mail…)", u"Image (JPEG)", u"Text (TXT)",
    u"Include Spotify/YouTube links on PDF title pages", u"Include Spotify/YouTube links in TXT/HTML",
    u"Include book names and page numbers in TXT/HTML", u"Share destination:", u"Bookmark Workshop",
    u"Default", u"Hide", u"Show", u"Inject Bookmarks", u"Create Cover", u"Import", u"Export",
    u"Import Metadata", u"Export Metadata", u"Merge pdfs", u"Clear list", u"Select all", u"Select none",
    u"Books loaded: 0", u"Relink PDF...",
    u"Use the Status View tab to browse PDFs in your library folder. Other tabs are placeholders for future editors and layouts.",
    u"Fill only missing cells (leave existing values as-is)", u"Re-fetch and overwrite selected columns",
    u"Clear all", u"Cancel",
};
// The rest of the table: the main window's own texts (its tiles, its search row), the result count, the
// language status and the share popover's hints. Nothing else follows the language.
const char16_t *const kOtherKeys[] = {
    u"Custom\nFiles", u"Scan the selected folder for PDFs and extract bookmarks.",
    u"Load the built-in default bookmark list.", u"View and delete imported custom images and PDFs.",
    u"Custom slot: bookmarks from your PDF folder. Toggle off when using defaults-only.",
    u"Load built-in default bookmarks (same as Default Bookmarks).", u"Merge other slots into the current slot.",
    u"Identify the playing song through the microphone.",
    u"Voziz Ivova Rudivada — browse PDFs in your library folder.",
    u"Choose columns and fetch metadata (bundled index, MusicBrainz, Discogs).",
    u"Build a playlist from filters and heuristics.", u"Open playlists window.", u"Switch to slot %1",
    u"Search by title or by composer, genre, style (Cole Porter)", u"%1 results", u"Sort by column",
    u"Language set to %1.",
    u"For WhatsApp: pick Copy in the share menu, then paste with Ctrl+V in chat (best under ~16 MB).",
    u"For large files, save here then attach in WhatsApp (+ → Document or Photos).",
};
// clang-format on

void switchTo(LyrafoldLanguage language)
{
    Lang::setCurrent(language);
    // The re-translation of open windows is queued behind the notification.
    QCoreApplication::processEvents();
}

QIcon someIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

// One text a window shows: where, in English as the window was built, and as it reads now.
struct ShownText {
    QPointer<QObject> holder;
    QString where;
    QString english;
    std::function<QString()> now;
};

bool insideItemView(const QWidget *widget, const QWidget *window)
{
    for (const QWidget *w = widget; w && w != window; w = w->parentWidget()) {
        if (qobject_cast<const QAbstractItemView *>(w))
            return true;
    }
    return false;
}

// Every text of the window the user reads: its title, the texts, tool tips and placeholders of its
// widgets (item views aside: their windows fill them), the items of its pop-ups and its menus.
QList<ShownText> textsOf(QWidget *window)
{
    QList<ShownText> texts;
    const QString name = QString::fromUtf8(window->metaObject()->className());
    QObject *holder = window;
    const auto add = [&texts, &holder](const QString &where, const QString &english,
                                       std::function<QString()> now) {
        if (!english.isEmpty())
            texts.append({holder, where, english, std::move(now)});
    };
    add(name + u" title"_s, window->windowTitle(), [window] { return window->windowTitle(); });
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *widget : std::as_const(widgets)) {
        if (widget->window() != window || insideItemView(widget, window))
            continue;
        const QString where = name + u'/' + widget->metaObject()->className() + u'#' + widget->objectName();
        holder = widget;
        const QPointer<QWidget> held(widget);
        add(where + u" tool tip"_s, widget->toolTip(), [held] { return held->toolTip(); });
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            add(where, button->text(), [button] { return button->text(); });
        else if (auto *label = qobject_cast<QLabel *>(widget))
            add(where, label->text(), [label] { return label->text(); });
        else if (auto *field = qobject_cast<QLineEdit *>(widget)) {
            add(where + u" placeholder"_s, field->placeholderText(),
                [field] { return field->placeholderText(); });
            if (field->isReadOnly())
                add(where, field->text(), [field] { return field->text(); });
        } else if (auto *popup = qobject_cast<QComboBox *>(widget)) {
            for (int i = 0; i < popup->count(); ++i)
                add(where + u" item"_s, popup->itemText(i), [popup, i] { return popup->itemText(i); });
        } else if (auto *bar = qobject_cast<QMenuBar *>(widget)) {
            for (QAction *menu : bar->actions()) {
                add(where, menu->text(), [menu] { return menu->text(); });
                if (menu->menu()) {
                    for (QAction *item : menu->menu()->actions())
                        add(where, item->text(), [item] { return item->text(); });
                }
            }
        }
    }
    return texts;
}

// A text kept English by a rule, in the words of the rule; %1 stands for any text.
struct KeptEnglish {
    const char *rule;
    QStringList texts;
};

bool matchesPattern(const QString &pattern, const QString &text, QStringList *arguments = nullptr)
{
    static const QRegularExpression placeholder(u"%\\d"_s);
    QStringList parts;
    for (const QString &part : pattern.split(placeholder))
        parts.append(QRegularExpression::escape(part));
    const QRegularExpression expression(QRegularExpression::anchoredPattern(parts.join(u"(.*)"_s)),
                                        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = expression.match(text);
    if (match.hasMatch() && arguments)
        *arguments = match.capturedTexts().mid(1);
    return match.hasMatch();
}

// The text the table gives for english in the language, a pattern's values filled in; none when the
// table has no row for it. The tip line writes "+" for the wide plus where the font lacks it.
std::optional<QString> tableText(QString english, LyrafoldLanguage language)
{
    english.replace(u'+', QChar(0xFF0B));
    const auto inLanguage = [language](const QString &key) {
        return language == LyrafoldLanguage::en ? key : Lang::localized(key, language);
    };
    const auto rows = Lang::translationTable(LyrafoldLanguage::tr);
    for (const auto &row : rows) {
        if (row.first == english)
            return inLanguage(row.first);
    }
    for (const auto &row : rows) {
        QStringList values;
        if (row.first.contains(u'%') && matchesPattern(row.first, english, &values)) {
            QString text = inLanguage(row.first);
            for (const QString &value : std::as_const(values))
                text = text.arg(value);
            return text;
        }
    }
    return std::nullopt;
}

QString plainPlus(QString text)
{
    return text.replace(QChar(0xFF0B), u'+');
}

// The texts the windows show in English whatever the language, by the rule that keeps them so: the
// texts themselves (%1 stands for any text), or the controls by object name (a control whose text a
// row of the table matches).
const KeptEnglish kKeptEnglish[] = {
    {"names: the product, slots (but the built-in Default), study-mode providers",
     {u"LYRAFOLD (beta)"_s, u"LYRAFOLD (BETA) v.0.7"_s, u"Slot %1"_s, u"Spotify"_s, u"YouTube"_s}},
    {"the word under a slot tile's name, which the tables have no row for", {u"Slot"_s}},
    {"window titles the tables have no row for", {u"LYRAFOLD (beta) - Playlists"_s, u"Auto-Playlist"_s}},
    {"the help button, its tool tip in two languages in every language", {u"Help / Yardım"_s, u"?"_s}},
    {"menus",
     {u"Slots"_s, u"Save Slot to Disk"_s, u"Reload Slot from Disk"_s, u"Copy Slot to Another…"_s,
      u"Merge Slots into Current…"_s, u"Clear Current Slot…"_s, u"New Extraction (Clear Table)…"_s,
      u"Tools"_s, u"Edit Metadata for Selected Row…"_s, u"Import Metadata File (CSV / JSON)…"_s,
      u"Auto-Tag All Bookmarks…"_s, u"Auto-Tag Selected Rows"_s, u"Apply Bundled Metadata Only"_s,
      u"Discogs API Token…"_s}},
    {"the extraction's controls", {u"statusCancelButton"_s}},
    {"auto-playlist texts the code writes and those the tables have no row for",
     {u"From %1   To %2"_s, u"Generated titles (%1) — drag ≡ to reorder"_s,
      u"Tempo map — MU=medium-up, M=medium, F=fast, MB=medium-ballad, B=ballad. Choose a preset below."_s,
      u"…"_s}},
    {"tempo presets",
     {u"Random   Random"_s, u"Club gig   %1"_s, u"Energy opener   %1"_s, u"Slow build   %1"_s,
      u"Classic set   %1"_s}},
    {"the workshop's tab titles, subtitle, counts, tool tips and Import Images/PDFs",
     {u"%1 • %2 books"_s, u"Books loaded: %1 (%2 available, %3 unavailable)"_s, u"Import Images/PDFs"_s,
      u"Import images or PDFs into a custom Lyrafold slot."_s}},
};

bool keptText(const QString &text)
{
    for (const KeptEnglish &rule : kKeptEnglish) {
        for (const QString &pattern : rule.texts) {
            if (matchesPattern(pattern, text))
                return true;
        }
    }
    return false;
}

bool keptPlace(const QString &objectName)
{
    for (const KeptEnglish &rule : kKeptEnglish) {
        if (!objectName.isEmpty() && rule.texts.contains(objectName))
            return true;
    }
    return false;
}

} // namespace

class LanguageServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { AppSettings::remove(AppSettings::uiLanguageKey); }

    void tablesCoverEveryKey_data()
    {
        QTest::addColumn<LyrafoldLanguage>("language");
        QTest::newRow("Turkish") << LyrafoldLanguage::tr;
        QTest::newRow("Spanish") << LyrafoldLanguage::es;
    }

    void tablesCoverEveryKey()
    {
        QFETCH(LyrafoldLanguage, language);
        QStringList expected;
        for (const char16_t *key : kExpectedKeys)
            expected.append(QString::fromUtf16(key));
        QCOMPARE(expected.size(), 127);
        QStringList others;
        for (const char16_t *key : kOtherKeys)
            others.append(QString::fromUtf16(key));

        QStringList keys;
        for (const auto &[english, translated] : Lang::translationTable(language)) {
            keys.append(english);
            QVERIFY2(!translated.trimmed().isEmpty(), qPrintable(english));
            QCOMPARE(Lang::localized(english, language), translated);
        }
        QCOMPARE(keys.first(expected.size()), expected);
        QStringList rest = keys.mid(expected.size());
        rest.sort();
        others.sort();
        QCOMPARE(rest, others);
        // A key given twice would hide one of its rows from the lookup.
        QCOMPARE(QSet<QString>(keys.cbegin(), keys.cend()).size(), keys.size());
    }

    void translationsOfTellingRows_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("turkish");
        QTest::addColumn<QString>("spanish");
        auto row = [](const QString &en, const QString &tr, const QString &es) {
            QTest::newRow(qPrintable(QString(en).replace(u'\n', u' '))) << en << tr << es;
        };
        row(u"Settings"_s, u"Ayarlar"_s, u"Ajustes"_s);
        row(u"Help"_s, u"Yardım"_s, u"Ayuda"_s);
        row(u"Extract\nBookmarks"_s, u"Bookmark\nÇıkar"_s, u"Extraer\nmarcadores"_s);
        row(u"Import Song Data\nvia"_s, u"Şarkı Verisi\nİçe Aktar"_s, u"Importar datos\nde canción"_s);
        row(u"0 results"_s, u"0 sonuç"_s, u"0 resultados"_s);
        row(u"Done"_s, u"Bitti"_s, u"Listo"_s);
        row(u"Ready"_s, u"Hazır"_s, u"Listo"_s);
        row(u"of 0"_s, u"/ 0"_s, u"de 0"_s);
        row(u"Pages"_s, u"Sayfa Sayısı"_s, u"Páginas"_s);
        row(u"Tempo"_s, u"Tempo"_s, u"Tempo"_s);
        row(u"Rating"_s, u"Rating"_s, u"Rating"_s);
        row(u"Zoom −"_s, u"Uzaklaştır −"_s, u"Zoom −"_s);
        row(u"Default"_s, u"Varsayılan"_s, u"Predeterminado"_s);
        row(u"CUSTOM"_s, u"ÖZEL"_s, u"PERSONAL"_s);
        // The workshop's own table.
        row(u"Slots:"_s, u"Slotlar:"_s, u"Espacios:"_s);
        row(u"Inject Bookmarks"_s, u"Bookmarkları İşle"_s, u"Insertar marcadores"_s);
        row(u"Import Metadata"_s, u"Metadata İçe Aktar"_s, u"Importar metadata"_s);
        row(u"Merge pdfs"_s, u"PDFleri birleştir"_s, u"Combinar PDFs"_s);
        row(u"Clear list"_s, u"Listeyi temizle"_s, u"Limpiar lista"_s);
        row(u"Select none"_s, u"Hiçbirini seçme"_s, u"No seleccionar nada"_s);
        row(u"Relink PDF..."_s, u"PDF'yi Yeniden Bağla..."_s, u"Reenlazar PDF..."_s);
        // The settings menu and its language status, the result count, the share popover's hints.
        row(u"System default microphone"_s, u"Sistem varsayılan mikrofonu"_s,
            u"Micrófono predeterminado del sistema"_s);
        row(u"Language set to %1."_s, u"Dil %1 olarak ayarlandı."_s, u"Idioma cambiado a %1."_s);
        row(u"%1 results"_s, u"%1 sonuç"_s, u"%1 resultados"_s);
        row(u"For large files, save here then attach in WhatsApp (+ → Document or Photos)."_s,
            u"Büyük dosyalar için buraya kaydedin, sonra WhatsApp'ta ekleyin (+ → Belge veya Fotoğraflar)."_s,
            u"Para archivos grandes, guarde aquí y adjunte en WhatsApp (+ → Documento o Fotos)."_s);
    }

    // What core makes for the windows (status texts, alert texts, failures) is English in every
    // language, as are the window texts the tables have no row for; Qt's own contexts are Qt's.
    void englishOnlyTextsStayEnglish_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("tr") << u"tr"_s;
        QTest::newRow("es") << u"es"_s;
    }

    void englishOnlyTextsStayEnglish()
    {
        QFETCH(QString, stored);
        AppSettings::setValue(AppSettings::uiLanguageKey, stored);
        const SlotClearPlan named{4, u"Friday"_s, 233, 0};
        const QStringList shown = {UiText::tr("Loaded %1 cached bookmarks").arg(7),
                                   UiText::tr("The export could not be written: %1"),
                                   named.clearCommandMessage(),
                                   SlotClearPlan::clearCommandInformativeText(),
                                   Lang::localized(u"Custom Files"_s),
                                   Lang::localized(u"LYRAFOLD (beta) - Playlists"_s),
                                   Lang::localized(u"Slots"_s),
                                   Lang::localized(u"OK"_s)};
        QCOMPARE(shown,
                 (QStringList{u"Loaded 7 cached bookmarks"_s, u"The export could not be written: %1"_s,
                              u"Clear Slot 4?"_s, u"All bookmarks in this slot will be removed from disk."_s,
                              u"Custom Files"_s, u"LYRAFOLD (beta) - Playlists"_s, u"Slots"_s, u"OK"_s}));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Settings"), u"Settings"_s);
    }

    void translationsOfTellingRows()
    {
        QFETCH(QString, english);
        QFETCH(QString, turkish);
        QFETCH(QString, spanish);
        QCOMPARE(Lang::localized(english, LyrafoldLanguage::tr), turkish);
        QCOMPARE(Lang::localized(english, LyrafoldLanguage::es), spanish);
        QCOMPARE(Lang::localized(english, LyrafoldLanguage::en), english);
    }

    // With the main, playlists, auto-playlist and workshop windows open, every switch (to Turkish, to
    // Spanish, back to English) leaves each text the table has a row for in the new language at once,
    // tool tips and window titles included, and every other text English; each English text is kept so
    // by a rule.
    void openWindowsFollowEverySwitch()
    {
        QVERIFY(SlotStore::saveSlot(1, {Fixtures::bookmark(u"/b/Standards.pdf"_s, 3, u"Blue Bossa"_s)}, {}));
        QVERIFY(SlotStore::saveMeta(SlotMeta{1, {}}));
        AppContext context;
        MainWindowController main(context);
        main.show();
        for (const QString &tile : {u"playlistsTile"_s, u"autoPlaylistTile"_s, u"bookmarkWorkshopTile"_s})
            MainWindowParts::child<TileView>(main, tile)->hitButton()->click();
        TestHarness::settleWorkers();
        const QList<QWidget *> windows = {&main, topLevelWindows<PlaylistsWindowController>().value(0),
                                          topLevelWindows<AutoPlaylistWindowController>().value(0),
                                          topLevelWindows<WorkshopWindowController>().value(0)};
        QList<ShownText> texts;
        for (QWidget *window : windows) {
            QVERIFY(window);
            texts += textsOf(window);
        }
        const auto *model = MainWindowParts::tableModel(main);
        for (int column = 0; column < model->columnCount(); ++column) {
            texts.append({nullptr, u"library table header"_s, LibraryColumns::identifiers().at(column),
                          [model, column] { return model->headerData(column, Qt::Horizontal).toString(); }});
        }
        const QObject *mainStatus = MainWindowParts::child<StatusLine>(main, u"statusField"_s);

        for (const LyrafoldLanguage language :
             {LyrafoldLanguage::tr, LyrafoldLanguage::es, LyrafoldLanguage::en}) {
            QMenu *menu = MainWindowParts::openSettingsMenu(main);
            for (QAction *item : menu->actions().constFirst()->menu()->actions()) {
                if (item->data() == Lang::rawValue(language))
                    item->trigger();
            }
            menu->close();
            QCoreApplication::processEvents();
            QStringList wrong;
            for (const ShownText &text : std::as_const(texts)) {
                const QString name = text.holder ? text.holder->objectName() : QString();
                QString english = text.english;
                QString expected;
                // A title made of a name from the table and a subtitle of its own (the workshop's).
                const qsizetype dash = english.indexOf(u" — "_s);
                if (text.holder == mainStatus) {
                    expected = tableText(u"Language set to %1."_s, language)
                                   ->arg(language == LyrafoldLanguage::tr   ? u"Türkçe"_s
                                         : language == LyrafoldLanguage::es ? u"Español"_s
                                                                            : u"English"_s);
                } else if (keptPlace(name)) {
                    expected = english;
                } else if (const auto translated = tableText(english, language)) {
                    expected = *translated;
                } else if (dash > 0 && tableText(english.left(dash), language) &&
                           keptText(english.mid(dash + 3))) {
                    expected = *tableText(english.left(dash), language) + english.mid(dash);
                } else if (keptText(english)) {
                    expected = english;
                } else {
                    wrong.append(text.where + u": no rule keeps \""_s + english + u"\" English"_s);
                    continue;
                }
                // A slot tile cuts a name longer than its one line and names it whole in its tool tip.
                const bool tile =
                    text.holder && (qobject_cast<const WindowsStyleSlotTileView *>(text.holder) ||
                                    qobject_cast<const WindowsStyleSlotTileView *>(text.holder->parent()));
                if (tile && text.now().endsWith(u'…') && expected.startsWith(text.now().chopped(1)))
                    expected = text.now();
                if (tile && text.where.endsWith(u" tool tip"_s) && text.now().endsWith(u'\n' + expected))
                    expected = text.now();
                if (plainPlus(text.now()) != plainPlus(expected))
                    wrong.append(text.where + u": \""_s + text.now() + u"\", not \""_s + expected + u'"');
            }
            for (const QString &line : std::as_const(wrong))
                qWarning().noquote() << Lang::rawValue(language) << line;
            QVERIFY2(wrong.isEmpty(), "texts not in the language they should be (listed above)");
        }
    }

    void storedValue_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<LyrafoldLanguage>("expected");
        QTest::addColumn<QString>("settings");
        QTest::newRow("missing") << QVariant() << LyrafoldLanguage::en << u"Settings"_s;
        QTest::newRow("tr") << QVariant(u"tr"_s) << LyrafoldLanguage::tr << u"Ayarlar"_s;
        QTest::newRow("es") << QVariant(u"es"_s) << LyrafoldLanguage::es << u"Ajustes"_s;
        QTest::newRow("unknown") << QVariant(u"de"_s) << LyrafoldLanguage::en << u"Settings"_s;
        QTest::newRow("upper case") << QVariant(u"TR"_s) << LyrafoldLanguage::en << u"Settings"_s;
        QTest::newRow("padded") << QVariant(u" es"_s) << LyrafoldLanguage::en << u"Settings"_s;
        QTest::newRow("empty") << QVariant(QString()) << LyrafoldLanguage::en << u"Settings"_s;
    }

    void storedValue()
    {
        QFETCH(QVariant, stored);
        QFETCH(LyrafoldLanguage, expected);
        QFETCH(QString, settings);
        if (stored.isValid())
            AppSettings::setValue(AppSettings::uiLanguageKey, stored);
        QCOMPARE(Lang::current(), expected);
        QCOMPARE(Lang::localized(u"Settings"_s), settings);
        // Reading never rewrites what is stored.
        QCOMPARE(AppSettings::value(AppSettings::uiLanguageKey), stored);
    }

    void lookupIsExact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("turkish");
        QTest::newRow("key") << u"Extract\nBookmarks"_s << u"Bookmark\nÇıkar"_s;
        QTest::newRow("lower case") << u"settings"_s << u"settings"_s;
        QTest::newRow("blank for line break") << u"Default Bookmarks"_s << u"Default Bookmarks"_s;
        QTest::newRow("trailing blank") << u"Settings "_s << u"Settings "_s;
        QTest::newRow("three dots for ellipsis") << u"Search by title, composer, genre, style..."_s
                                                 << u"Search by title, composer, genre, style..."_s;
    }

    void lookupIsExact()
    {
        QFETCH(QString, text);
        QFETCH(QString, turkish);
        AppSettings::setValue(AppSettings::uiLanguageKey, u"tr"_s);
        QCOMPARE(Lang::localized(text), turkish);
    }

    void observersSeeNewValueBeforeRetranslation()
    {
        QWidget window;
        auto *label = new QLabel(u"Settings"_s, &window);
        std::optional<LyrafoldLanguage> seen;
        QString labelWhenSeen;
        const auto connection =
            connect(&NotificationBus::instance(), &NotificationBus::languageChanged, this, [&] {
                seen = Lang::current();
                labelWhenSeen = label->text();
            });
        Lang::setCurrent(LyrafoldLanguage::es);
        disconnect(connection);
        QCOMPARE(seen, std::optional(LyrafoldLanguage::es));
        QCOMPARE(labelWhenSeen, u"Settings"_s);
        QCOMPARE(label->text(), u"Settings"_s);
        QCoreApplication::processEvents();
        QCOMPARE(label->text(), u"Ajustes"_s);
    }

    // Qt's own texts follow the language, back and forth in a file dialog already open too; the texts
    // the application sets on Qt's dialogs are its own and stay as given.
    void qtTextsFollowTheLanguage_data()
    {
        QTest::addColumn<LyrafoldLanguage>("language");
        QTest::addColumn<QString>("cancel");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("tr") << LyrafoldLanguage::tr << u"İptal"_s << u"Dosya a&dı:"_s;
        QTest::newRow("es") << LyrafoldLanguage::es << u"Cancelar"_s << u"&Nombre de fichero:"_s;
    }

    void qtTextsFollowTheLanguage()
    {
        QFETCH(LyrafoldLanguage, language);
        QFETCH(QString, cancel);
        QFETCH(QString, fileName);
        const auto texts = [](const QFileDialog &dialog) {
            const auto *buttons = dialog.findChild<QDialogButtonBox *>();
            const auto *nameLabel = dialog.findChild<QLabel *>(u"fileNameLabel"_s);
            return QStringList{buttons ? buttons->button(QDialogButtonBox::Cancel)->text() : QString(),
                               nameLabel ? nameLabel->text() : QString()};
        };
        switchTo(LyrafoldLanguage::en);
        QFileDialog open;
        open.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(texts(open), (QStringList{u"Cancel"_s, u"File &name:"_s}));

        switchTo(language);
        QCoreApplication::processEvents();
        QCOMPARE(texts(open), (QStringList{cancel, fileName}));
        QFileDialog made(nullptr, u"Select folder containing PDF fakebooks"_s);
        made.setOption(QFileDialog::DontUseNativeDialog);
        made.setLabelText(QFileDialog::Accept, u"Import"_s);
        QCOMPARE(texts(made), (QStringList{cancel, fileName}));
        QCOMPARE(made.windowTitle(), u"Select folder containing PDF fakebooks"_s);
        QCOMPARE(made.labelText(QFileDialog::Accept), u"Import"_s);

        switchTo(LyrafoldLanguage::en);
        QCoreApplication::processEvents();
        QCOMPARE(texts(open), (QStringList{u"Cancel"_s, u"File &name:"_s}));
    }

    void baseTextsSurviveSwitches()
    {
        QWidget window;
        window.setWindowTitle(u"PDF Viewer"_s);
        auto *layout = new QVBoxLayout(&window);
        auto *label = new QLabel(u"Ready"_s);
        label->setToolTip(u"Help"_s);
        auto *button = new QPushButton(u"Settings"_s);
        button->setToolTip(u"Close"_s);
        auto *search = new QLineEdit;
        search->setPlaceholderText(u"Search Bookmarks"_s);
        auto *nested = new QWidget;
        auto *inner = new QLabel(u"Done"_s, nested);
        auto *choice = new QComboBox;
        choice->setToolTip(u"Choose which provider Study mode opens."_s);
        for (QWidget *w : {static_cast<QWidget *>(label), static_cast<QWidget *>(button),
                           static_cast<QWidget *>(search), nested, static_cast<QWidget *>(choice)})
            layout->addWidget(w);

        const struct {
            LyrafoldLanguage language;
            QStringList texts;
        } steps[] = {
            {LyrafoldLanguage::tr,
             {u"Hazır"_s, u"Yardım"_s, u"Ayarlar"_s, u"Kapat"_s, u"Bookmark Ara"_s, u"Bitti"_s}},
            {LyrafoldLanguage::es,
             {u"Listo"_s, u"Ayuda"_s, u"Ajustes"_s, u"Cerrar"_s, u"Buscar marcadores"_s, u"Listo"_s}},
            {LyrafoldLanguage::en,
             {u"Ready"_s, u"Help"_s, u"Settings"_s, u"Close"_s, u"Search Bookmarks"_s, u"Done"_s}},
        };
        for (const auto &step : steps) {
            switchTo(step.language);
            const QStringList shown = {label->text(),     label->toolTip(),          button->text(),
                                       button->toolTip(), search->placeholderText(), inner->text()};
            QCOMPARE(shown, step.texts);
            QCOMPARE(choice->toolTip(),
                     Lang::localized(u"Choose which provider Study mode opens."_s, step.language));
        }
        // Titles keep no base text: once translated, only the window itself can set them back.
        QCOMPARE(window.windowTitle(), u"PDF Görüntüleyici"_s);
    }

    void viewFirstVisitedInTurkish()
    {
        AppSettings::setValue(AppSettings::uiLanguageKey, u"tr"_s);
        QWidget window;
        auto *label = new QLabel(Lang::localized(u"Settings"_s), &window);
        switchTo(LyrafoldLanguage::tr);
        switchTo(LyrafoldLanguage::es);
        QCOMPARE(label->text(), u"Ayarlar"_s);
        switchTo(LyrafoldLanguage::en);
        QCOMPARE(label->text(), u"Ayarlar"_s);
    }

    void buttonsWithImages_data()
    {
        QTest::addColumn<bool>("toolButton");
        QTest::addColumn<bool>("withIcon");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        QTest::newRow("icon-only tool button") << true << true << u"Settings"_s << QString();
        QTest::newRow("icon button titled Button") << false << true << u"Button"_s << QString();
        QTest::newRow("icon and real title") << false << true << u"Settings"_s << u"Ayarlar"_s;
        QTest::newRow("Button without icon") << false << false << u"Button"_s << u"Button"_s;
        QTest::newRow("no title") << false << true << QString() << QString();
    }

    void buttonsWithImages()
    {
        QFETCH(bool, toolButton);
        QFETCH(bool, withIcon);
        QFETCH(QString, title);
        QFETCH(QString, expected);
        QWidget window;
        QAbstractButton *button =
            toolButton ? static_cast<QAbstractButton *>(new QToolButton(&window)) : new QPushButton(&window);
        button->setText(title);
        if (withIcon)
            button->setIcon(someIcon());
        button->setToolTip(u"Help"_s);
        button->setAccessibleName(u"Help"_s);
        switchTo(LyrafoldLanguage::tr);
        QCOMPARE(button->text(), expected);
        QCOMPARE(button->toolTip(), u"Yardım"_s);
        QCOMPARE(button->accessibleName(), u"Yardım"_s);
    }

    void lineEdits_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("expected");
        QTest::newRow("editable keeps typed text") << false << u"Settings"_s;
        QTest::newRow("read-only is translated") << true << u"Ajustes"_s;
    }

    void lineEdits()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, expected);
        QWidget window;
        auto *field = new QLineEdit(&window);
        field->setReadOnly(readOnly);
        field->setText(u"Settings"_s);
        field->setPlaceholderText(u"Search by title, composer, genre, style…"_s);
        field->setToolTip(u"Study mode"_s);
        switchTo(LyrafoldLanguage::es);
        QCOMPARE(field->text(), expected);
        QCOMPARE(field->placeholderText(), u"Buscar por título, compositor, género, estilo…"_s);
        QCOMPARE(field->toolTip(), u"Modo estudio"_s);
    }

    void nothingInsideTableViewChanges()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *model = new QStandardItemModel(1, 1, &window);
        model->setHorizontalHeaderLabels({u"Genre"_s});
        model->setItem(0, 0, new QStandardItem(u"Settings"_s));
        auto *table = new QTableView;
        table->setModel(model);
        table->setToolTip(u"Help"_s);
        layout->addWidget(table);
        auto *cellLabel = new QLabel(u"Settings"_s);
        table->setIndexWidget(model->index(0, 0), cellLabel);
        auto *holder = new QWidget(table->viewport());
        auto *deepButton = new QPushButton(u"Share"_s, holder);

        switchTo(LyrafoldLanguage::tr);
        QCOMPARE(cellLabel->text(), u"Settings"_s);
        QCOMPARE(deepButton->text(), u"Share"_s);
        QCOMPARE(table->toolTip(), u"Help"_s);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), u"Genre"_s);
        QVERIFY(!cellLabel->property(Lang::baseTextProperty).isValid());
    }

    // A label the window rewrites (the result count) must not fall back to the text it first showed.
    void dynamicLabelsAreSkipped()
    {
        QWidget window;
        auto *count = new QLabel(u"0 results"_s, &window);
        Lang::markDynamicText(count);
        count->setToolTip(u"Help"_s);
        auto *status = new QLabel(u"Ready"_s, &window);
        status->setProperty(Lang::dynamicTextProperty, true);

        switchTo(LyrafoldLanguage::tr);
        QCOMPARE(count->text(), u"0 results"_s);
        count->setText(u"57 results"_s);
        status->setText(u"Opened: book.pdf at page 3"_s);
        switchTo(LyrafoldLanguage::es);
        QCOMPARE(count->text(), u"57 results"_s);
        QCOMPARE(status->text(), u"Opened: book.pdf at page 3"_s);
        QCOMPARE(count->toolTip(), u"Help"_s);
        for (const char *key : {Lang::baseTextProperty, Lang::baseToolTipProperty})
            QVERIFY(!count->property(key).isValid());
    }

    // A field or button whose own text the window writes still has its tool tip and placeholder
    // translated.
    void dynamicOwnTextKeepsOnlyTheText()
    {
        QWidget window;
        auto *folder = new QLineEdit(u"Settings"_s, &window);
        folder->setReadOnly(true);
        folder->setPlaceholderText(u"No folder selected"_s);
        auto *edit = new QPushButton(u"Editing: Genre"_s, &window);
        for (QWidget *widget : {static_cast<QWidget *>(folder), static_cast<QWidget *>(edit)}) {
            widget->setToolTip(u"Help"_s);
            Lang::markDynamicOwnText(widget);
        }
        switchTo(LyrafoldLanguage::es);
        QCOMPARE(folder->text(), u"Settings"_s);
        QCOMPARE(folder->placeholderText(), Lang::localized(u"No folder selected"_s));
        QCOMPARE(edit->text(), u"Editing: Genre"_s);
        QCOMPARE(edit->toolTip(), u"Ayuda"_s);
        QCOMPARE(folder->toolTip(), u"Ayuda"_s);
    }

    // Alerts, dialogs, menus and windows kept English show their texts as given in every language, also
    // texts a row of the table matches ("Save", "Cancel", "Settings", "Close"), also across a switch
    // while they are open; the buttons are not Qt's own, which Qt would translate. So do the texts the
    // main window writes in English among translated ones: the Edit button's title in edit mode, the
    // selection buttons' titles with a count (without one they are the table's keys), the "Ready" that
    // closing the playlists window shows; and the help entry "Listen", which has no Spanish body.
    void keptEnglishThroughASwitch_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("expected");
        const QStringList english{u"Settings"_s, u"Help"_s, u"Save"_s, u"Cancel"_s};
        QTest::newRow("alert") << u"alert"_s << english;
        QTest::newRow("form alert") << u"form"_s << english;
        QTest::newRow("menu bar") << u"menus"_s << english;
        QTest::newRow("window kept English") << u"kept"_s << english + QStringList{u"Ready"_s};
        QTest::newRow("edit mode") << u"edit"_s
                                   << QStringList{u"Editing: Bookmark Title"_s, u"Editing: Genre"_s};
        QTest::newRow("selection counts")
            << u"selection"_s
            << QStringList{u"Tag 2 selected"_s,
                           u"Delete 2 selected"_s,
                           u"Tag 2 selected"_s,
                           u"Delete 2 selected"_s,
                           Lang::localized(u"Tag selected"_s, LyrafoldLanguage::es),
                           Lang::localized(u"Delete selected"_s, LyrafoldLanguage::es)};
        QTest::newRow("playlists window closed") << u"ready"_s << QStringList{u"Ready"_s, u"Ready"_s};
        QTest::newRow("help entry without a Spanish body")
            << u"help"_s
            << QStringList{
                   u"Listens through the microphone for 8 seconds, identifies the song that is playing "
                   u"and searches your library for its title, which is also copied to the clipboard."_s};
    }

    void keptEnglishThroughASwitch()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, expected);
        const QStringList english{u"Settings"_s, u"Help"_s, u"Save"_s, u"Cancel"_s};
        const auto restore = qScopeGuard([] {
            switchTo(LyrafoldLanguage::en);
            Lang::loadQtTranslations();
        });
        switchTo(LyrafoldLanguage::tr);
        QStringList shown;
        if (kind == u"alert") {
            ModalAnswer answer(english.at(3));
            QCOMPARE(LyrafoldAlert::run(nullptr, LyrafoldAlert::Style::warning, english.at(0), english.at(1),
                                        {english.at(2), english.at(3)}),
                     1);
            shown = answer.messages + answer.informativeTexts + answer.buttons.join(u'|').split(u'|');
        } else if (kind == u"form") {
            LyrafoldFormAlert alert(nullptr, u"tokenDialog"_s, english.at(0), english.at(1),
                                    {english.at(2), english.at(3)});
            alert.show();
            switchTo(LyrafoldLanguage::es);
            shown.append(alert.windowTitle());
            for (const QLabel *label : alert.findChildren<QLabel *>()) {
                if (label->text() != english.at(0))
                    shown.append(label->text());
            }
            for (const QPushButton *button : alert.findChildren<QPushButton *>())
                shown.append(button->text());
        } else if (kind == u"menus") {
            QMainWindow window;
            QMenu *menu = window.menuBar()->addMenu(english.at(0));
            menu->addAction(english.at(1));
            menu->addAction(english.at(2));
            menu->addAction(english.at(3));
            window.show();
            switchTo(LyrafoldLanguage::es);
            shown.append(window.menuBar()->actions().constFirst()->text());
            for (const QAction *action : menu->actions())
                shown.append(action->text());
        } else if (kind == u"help") {
            for (const LyrafoldHelpEntry &entry : LyrafoldHelpCatalogue::entries(LyrafoldHelpTopic::main)) {
                if (entry.title == u"Listen"_s)
                    shown.append(entry.body(LyrafoldLanguage::es));
            }
        } else if (kind == u"edit" || kind == u"selection" || kind == u"ready") {
            QVERIFY(SlotStore::saveSlot(1,
                                        {Fixtures::bookmark(u"/b/A.pdf"_s, 1, u"One"_s),
                                         Fixtures::bookmark(u"/b/A.pdf"_s, 2, u"Two"_s)},
                                        {}));
            QVERIFY(SlotStore::saveMeta(SlotMeta{1, {}}));
            AppContext context;
            MainWindowController main(context);
            main.show();
            QVERIFY(TestHarness::waitForCurrentSlot(context.librarySlots()));
            auto *tag = MainWindowParts::child<QPushButton>(main, u"tagSelectedButton"_s);
            auto *remove = MainWindowParts::child<QPushButton>(main, u"deleteSelectedButton"_s);
            auto *edit = MainWindowParts::child<QPushButton>(main, u"editModeButton"_s);
            QTableView *table = MainWindowParts::tableView(main);
            if (kind == u"edit") {
                edit->click();
                shown.append(edit->text());
                Q_EMIT table->horizontalHeader()->sectionClicked(
                    int(LibraryColumns::identifiers().indexOf(LibraryColumns::genre)));
                switchTo(LyrafoldLanguage::es);
                shown.append(edit->text());
            } else if (kind == u"selection") {
                table->selectAll();
                shown += QStringList{tag->text(), remove->text()};
                switchTo(LyrafoldLanguage::es);
                shown += QStringList{tag->text(), remove->text()};
                table->clearSelection();
                shown += QStringList{tag->text(), remove->text()};
            } else {
                MainWindowParts::child<TileView>(main, u"playlistsTile"_s)->hitButton()->click();
                for (PlaylistsWindowController *playlists : topLevelWindows<PlaylistsWindowController>(true))
                    playlists->close();
                const auto *status = MainWindowParts::child<StatusLine>(main, u"statusField"_s);
                shown.append(status->text());
                switchTo(LyrafoldLanguage::es);
                shown.append(status->text());
            }
        } else {
            QWidget window;
            auto *layout = new QVBoxLayout(&window);
            auto *title = new QLabel(english.at(0));
            title->setToolTip(english.at(1));
            layout->addWidget(title);
            for (int i = 2; i < 4; ++i)
                layout->addWidget(new QPushButton(english.at(i)));
            auto *status = new StatusLine(u"status"_s);
            layout->addWidget(status);
            Lang::markKeptEnglish(&window);
            status->showReady();
            window.show();
            switchTo(LyrafoldLanguage::es);
            shown = QStringList{title->text(), title->toolTip()};
            for (const QPushButton *button : window.findChildren<QPushButton *>())
                shown.append(button->text());
            shown.append(status->text());
        }
        QCOMPARE(shown, expected);
    }
};

LYRAFOLD_TEST_GUI_MAIN(LanguageServiceTest)
#include "tst_languageservice.moc"

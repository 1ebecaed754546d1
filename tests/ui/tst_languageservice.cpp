#include "ModalAnswer.h"
#include "TestHarnessGui.h"
#include "core/common/AppSettings.h"
#include "core/common/NotificationBus.h"
#include "core/common/UiText.h"
#include "core/library/SlotStore.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
    u"Clear all", u"Cancel", u"Auto-Playlist",
    u"Tempo map — MU=medium-up, M=medium, F=fast, MB=medium-ballad, B=ballad. Choose a preset below.",
    u"Generated titles (%1) — drag ≡ to reorder",
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
        QCOMPARE(expected.size(), 130);

        QStringList keys;
        for (const auto &[english, translated] : Lang::translationTable(language)) {
            keys.append(english);
            QVERIFY2(!translated.trimmed().isEmpty(), qPrintable(english));
            QCOMPARE(Lang::localized(english, language), translated);
        }
        QCOMPARE(keys.first(expected.size()), expected);
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
        // Patterns the windows fill with a count, and texts beyond the shared table.
        row(u"Delete %1 selected"_s, u"Sil (%1)"_s, u"Eliminar (%1)"_s);
        row(u"Custom\nFiles"_s, u"Özel\nDosyalar"_s, u"Archivos\npersonales"_s);
        row(u"Slots"_s, u"Slotlar"_s, u"Espacios"_s);
        // The song data windows.
        row(u"Import Song Data – Choose columns"_s, u"Şarkı Verisi İçe Aktar – Sütunları seçin"_s,
            u"Importar datos de canción – Elegir columnas"_s);
        row(u"Starting…"_s, u"Başlıyor…"_s, u"Iniciando…"_s);
        row(u"Edit metadata"_s, u"Metadatayı düzenle"_s, u"Editar metadata"_s);
        row(u"Rating (0-5)"_s, u"Rating (0-5)"_s, u"Rating (0-5)"_s);
        // The import forms, the auto-playlist pickers and the playlist cards.
        row(u"Destination slot:"_s, u"Hedef slot:"_s, u"Espacio de destino:"_s);
        row(u"Title %1:"_s, u"Başlık %1:"_s, u"Título %1:"_s);
        row(u"p. %1"_s, u"s. %1"_s, u"p. %1"_s);
        row(u"(Any)"_s, u"(Herhangi)"_s, u"(Cualquiera)"_s);
        row(u"Open in Spotify"_s, u"Spotify'da aç"_s, u"Abrir en Spotify"_s);
        // The sentences core makes, one of each family.
        row(u"Loaded %1 bookmarks from %2 • %3"_s, u"%1 bookmark yüklendi: %2 • %3"_s,
            u"%1 marcadores cargados de %2 • %3"_s);
        row(u"All %1 bookmarks in this slot will be removed from disk."_s,
            u"Bu slottaki %1 bookmarkın tümü diskten silinecek."_s,
            u"Los %1 marcadores de este espacio se eliminarán del disco."_s);
        row(u"Imported %1 title(s) to %2."_s, u"%1 başlık içe aktarıldı: %2."_s,
            u"%1 título(s) importado(s) a %2."_s);
        row(u"Picture too large: %1 x %2"_s, u"Görüntü çok büyük: %1 x %2"_s,
            u"Imagen demasiado grande: %1 x %2"_s);
        row(u"Deleted %1 custom file(s)."_s, u"%1 özel dosya silindi."_s,
            u"%1 archivo(s) personal(es) eliminado(s)."_s);
        row(u"Extracted %1 bookmarks from %2 PDF(s)"_s, u"%2 PDF'den %1 bookmark çıkarıldı"_s,
            u"%1 marcadores extraídos de %2 PDF"_s);
        row(u" Tagged: %1, nothing found: %2, lookups failed: %3."_s,
            u" Etiketlenen: %1, bulunamayan: %2, başarısız arama: %3."_s,
            u" Etiquetados: %1, sin resultados: %2, búsquedas fallidas: %3."_s);
        row(u"Applied metadata to %1 of %2 bookmarks"_s, u"%2 bookmarkın %1 tanesine metadata uygulandı"_s,
            u"Metadata aplicada a %1 de %2 marcadores"_s);
        row(u"The export could not be written: %1"_s, u"Dışa aktarım yazılamadı: %1"_s,
            u"No se pudo escribir la exportación: %1"_s);
        row(u"The file %1 is damaged and cannot be read."_s, u"%1 dosyası bozuk ve okunamıyor."_s,
            u"El archivo %1 está dañado y no se puede leer."_s);
        row(u"Generated %1 title(s)."_s, u"%1 başlık üretildi."_s, u"%1 título(s) generado(s)."_s);
        row(u"%1 holds more than %2 titles, the most a playlist file may hold."_s,
            u"%1 içinde %2 taneden fazla başlık var; bir playlist dosyası en çok bu kadarını tutabilir."_s,
            u"%1 contiene más de %2 títulos, el máximo que admite un archivo de playlist."_s);
        row(u"Added to playlist: %1"_s, u"Playliste eklendi: %1"_s, u"Añadido a la playlist: %1"_s);
        row(u"Listen failed: %1"_s, u"Dinleme başarısız: %1"_s, u"Error al escuchar: %1"_s);
        row(u"Could not replace “%1”: %2. The old one is kept as “%3”."_s,
            u"“%1” değiştirilemedi: %2. Eskisi “%3” olarak saklanıyor."_s,
            u"No se pudo reemplazar “%1”: %2. El anterior se conserva como “%3”."_s);
    }

    // What core makes for the windows comes out in the stored language, through the same table; Qt's
    // own contexts and sentences the table lacks stay as given.
    void coreSentencesFollowTheLanguage_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("en") << u"en"_s
                            << QStringList{
                                   u"Loaded 7 cached bookmarks"_s, u"Default"_s, u"Slot 2"_s, u"Gigs"_s,
                                   u"Not in the table"_s,          u"Settings"_s};
        QTest::newRow("tr") << u"tr"_s
                            << QStringList{u"Önbellekten 7 bookmark yüklendi"_s,
                                           u"Varsayılan"_s,
                                           u"Slot 2"_s,
                                           u"Gigs"_s,
                                           u"Not in the table"_s,
                                           u"Settings"_s};
        QTest::newRow("es") << u"es"_s
                            << QStringList{u"7 marcadores cargados de la caché"_s,
                                           u"Predeterminado"_s,
                                           u"Espacio 2"_s,
                                           u"Gigs"_s,
                                           u"Not in the table"_s,
                                           u"Settings"_s};
    }

    void coreSentencesFollowTheLanguage()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, expected);
        AppSettings::setValue(AppSettings::uiLanguageKey, stored);
        const QStringList shown = {UiText::tr("Loaded %1 cached bookmarks").arg(7),
                                   SlotStore::shownName(0, u"Default"_s),
                                   SlotStore::shownName(2, u"Slot 2"_s),
                                   SlotStore::shownName(2, u"Gigs"_s),
                                   UiText::tr("Not in the table"),
                                   QCoreApplication::translate("QFileDialog", "Settings")};
        QCOMPARE(shown, expected);
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

    // The windows' alerts show the texts and buttons the tables know in the interface language; a text
    // they do not know is shown as given.
    void alertsShowTheirTextsInTheLanguage_data()
    {
        QTest::addColumn<bool>("form");
        QTest::addColumn<LyrafoldLanguage>("language");
        QTest::newRow("alert, Spanish") << false << LyrafoldLanguage::es;
        QTest::newRow("form, Turkish") << true << LyrafoldLanguage::tr;
    }

    void alertsShowTheirTextsInTheLanguage()
    {
        QFETCH(bool, form);
        QFETCH(LyrafoldLanguage, language);
        switchTo(language);
        const QStringList english{u"AudD API token"_s, u"This cannot be undone."_s, u"Save"_s, u"Cancel"_s};
        QStringList expected;
        for (const QString &text : english)
            expected.append(Lang::localized(text, language));
        const QString unknown = u"Recognition took a nap."_s;
        QStringList shown;
        if (form) {
            LyrafoldFormAlert alert(nullptr, u"tokenDialog"_s, english.at(0), english.at(1),
                                    {english.at(2), english.at(3)});
            for (const QLabel *label : alert.findChildren<QLabel *>())
                shown.append(label->text());
            for (const QPushButton *button : alert.findChildren<QPushButton *>())
                shown.append(button->text());
            QCOMPARE(alert.windowTitle(), expected.at(0));
        } else {
            ModalAnswer answer(expected.at(3));
            QCOMPARE(LyrafoldAlert::run(nullptr, LyrafoldAlert::Style::warning, english.at(0), unknown,
                                        {english.at(2), english.at(3)}),
                     1);
            shown = answer.messages + answer.informativeTexts + answer.buttons;
            expected = {expected.at(0), unknown, expected.at(2) + u'|' + expected.at(3)};
        }
        QCOMPARE(shown, expected);
    }
};

LYRAFOLD_TEST_GUI_MAIN(LanguageServiceTest)
#include "tst_languageservice.moc"

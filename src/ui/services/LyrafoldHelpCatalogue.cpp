#include "ui/services/LyrafoldHelpCatalogue.h"

#include <span>

namespace {

struct TopicTitles {
    LyrafoldHelpTopic topic;
    const char16_t *english;
    const char16_t *turkish;
    const char16_t *spanish;
};

constexpr TopicTitles kTopicTitles[] = {
    {LyrafoldHelpTopic::main, u"Main Page", u"Ana Sayfa", u"Página principal"},
    {LyrafoldHelpTopic::pdfViewer, u"PDF Viewer", u"PDF Görüntüleyici", u"Visor PDF"},
    {LyrafoldHelpTopic::playlists, u"Playlists", u"Playlistler", u"Playlists"},
    {LyrafoldHelpTopic::autoPlaylist, u"Auto Playlist", u"Otomatik Playlist", u"Playlist automática"},
    {LyrafoldHelpTopic::workshop, u"Bookmark Workshop", u"Bookmark Atölyesi", u"Taller de marcadores"},
};

// Most Spanish bodies are the English text; a null spanish stands for that.
struct EntryRow {
    const char16_t *title;
    const char16_t *english;
    const char16_t *turkish;
    const char16_t *spanish;
    const char16_t *assetName;
    const char16_t *systemSymbol;
};

constexpr EntryRow kMainEntries[] = {
    {u"Extract Bookmarks", u"Scans your selected PDF folder and extracts bookmark titles into the table.",
     u"Seçili PDF klasörünü tarar ve bookmark başlıklarını tabloya çıkarır.", nullptr, u"extract_bookmarks",
     nullptr},
    {u"Default Bookmarks", u"Loads the built-in default Lyrafold library.",
     u"Uygulamadaki varsayılan Lyrafold kütüphanesini yükler.", nullptr, u"default_bookmarks", nullptr},
    {u"CUSTOM / DEFAULT", u"Switches between your custom extracted slot and the default library mode.",
     u"Kendi çıkarılmış slotunuz ile varsayılan kütüphane modu arasında geçiş yapar.", nullptr, nullptr,
     u"object-flip-horizontal"},
    {u"Slots", u"Switches between saved bookmark slots. Each slot can hold a different library.",
     u"Kayıtlı bookmark slotları arasında geçiş yapar. Her slot farklı bir kütüphane tutabilir.", nullptr,
     u"save_slot", nullptr},
    {u"Merge", u"Merges bookmarks from other slots into the current slot.",
     u"Diğer slotlardaki bookmarkları mevcut slota birleştirir.", nullptr, u"merge_slots", nullptr},
    {u"Listen",
     u"Listens through the microphone for 8 seconds, identifies the song that is playing and searches your "
     u"library for its title, which is also copied to the clipboard.",
     u"Mikrofonu 8 saniye dinler, çalan şarkıyı tanır ve adını kütüphanenizde arar; ad panoya da "
     u"kopyalanır.",
     nullptr, u"listen", nullptr},
    {u"Bookmark Workshop",
     u"Opens the book management page for fixing missing PDFs and managing extracted books.",
     u"Eksik PDFleri düzeltmek ve kitapları yönetmek için kitap yönetim sayfasını açar.", nullptr,
     u"bookmark_workshop", nullptr},
    {u"Import Song Data",
     u"Imports or fetches metadata such as composer, genre, style, year, tempo, and rating.",
     u"Besteci, tür, stil, yıl, tempo ve rating gibi verileri içe aktarır veya bulur.", nullptr,
     u"import_metadata", nullptr},
    {u"Auto Playlist",
     u"Creates a generated playlist from filters such as genre, style, tempo, composer, year, and book "
     u"order.",
     u"Tür, stil, tempo, besteci, yıl ve kitap sırası gibi filtrelerden otomatik liste oluşturur.", nullptr,
     u"auto_playlist", nullptr},
    {u"Playlists", u"Opens saved playlists and lets you add, reorder, share, or export titles.",
     u"Kayıtlı listeleri açar; başlık ekleme, sıralama, paylaşma ve dışa aktarma sağlar.", nullptr,
     u"playlists", nullptr},
    {u"Search and table",
     u"Search filters titles and tags. Hover a row to preview, click a title to open the PDF, use + to add "
     u"to "
     u"playlist, and share to export a title.",
     u"Arama başlıkları ve etiketleri filtreler. Satırın üstüne gelince önizleme çıkar, başlığa tıklayınca "
     u"PDF "
     u"açılır, + listeye ekler, paylaş butonu başlığı dışa aktarır.",
     u"La búsqueda filtra títulos y etiquetas. Al pasar el cursor se muestra una vista previa, al hacer clic "
     u"se abre "
     u"el PDF, + añade a una playlist y Compartir exporta un título.",
     nullptr, u"edit-find"},
    {u"Study mode",
     u"When enabled, clicking a title opens its PDF on the left half of the screen and also opens a "
     u"full-title "
     u"Spotify or YouTube web search. Choose the provider from the menu next to the checkbox.",
     u"Açıkken bir başlığa tıklamak PDFyi ekranın sol yarısında açar ve aynı anda tam başlıkla Spotify veya "
     u"YouTube "
     u"web araması açar. Sağındaki menüden sağlayıcıyı seçin.",
     u"Cuando está activo, al hacer clic en un título se abre su PDF en la mitad izquierda de la pantalla y "
     u"también "
     u"una búsqueda web de Spotify o YouTube con el título completo. Elige el proveedor en el menú junto a "
     u"la "
     u"casilla.",
     nullptr, u"media-playback-start"},
};

constexpr EntryRow kPdfViewerEntries[] = {
    {u"Page buttons", u"First, previous, next, and last buttons move through the PDF pages.",
     u"İlk, önceki, sonraki ve son butonları PDF sayfaları arasında geçiş yapar.", nullptr, nullptr,
     u"go-next"},
    {u"Page field", u"Type a page number and press Return to jump directly to that page.",
     u"Sayfa numarası yazıp Return tuşuna basarak doğrudan o sayfaya gidin.", nullptr, nullptr, u"go-jump"},
    {u"Two-page / Cover",
     u"Two-page view shows spreads. Cover mode shows the first page on its own as a cover, as in a printed "
     u"book.",
     u"İki sayfa görünümü karşılıklı sayfaları gösterir. Kapak modu, basılı bir kitaptaki gibi ilk sayfayı "
     u"tek "
     u"başına kapak olarak gösterir.",
     nullptr, nullptr, u"x-office-document"},
    {u"Zoom and pan",
     u"Pinch zooms. Two-finger horizontal scroll changes pages only at fit zoom; when zoomed in, two-finger "
     u"movement pans the page.",
     u"Pinch yakınlaştırır. İki parmak yatay kaydırma sadece sığdırma zoomundayken sayfa değiştirir; zoom "
     u"yapılınca "
     u"iki parmak hareketi sayfayı kaydırır.",
     nullptr, nullptr, u"zoom-in"},
    {u"Double click",
     u"Double-click resets zoom back to fit. If already fitted in presentation mode, it exits presentation.",
     u"Çift tıklama zoomu tekrar sığdırmaya alır. Sunum modunda zaten sığdırılmışsa sunumdan çıkar.", nullptr,
     nullptr, u"zoom-fit-best"},
};

constexpr EntryRow kPlaylistsEntries[] = {
    {u"Create New Playlist", u"Creates an empty playlist.", u"Boş bir playlist oluşturur.", nullptr, nullptr,
     u"list-add"},
    {u"Delete Playlist", u"Deletes the selected playlist.", u"Seçili playlisti siler.", nullptr, nullptr,
     u"edit-delete"},
    {u"Add Song",
     u"Sends you to the main page to search and add titles. Press Done on the main page when finished.",
     u"Şarkı arayıp eklemeniz için ana sayfaya götürür. Bitince ana sayfadaki Done butonuna basın.", nullptr,
     nullptr, u"audio-x-generic"},
    {u"Title cards",
     u"Click a title card to open its PDF. Drag the handle to reorder. Hover previews the PDF page.",
     u"Başlık kartına tıklayınca PDF açılır. Sürükleme kolu ile sıralama değişir. Üzerine gelince PDF "
     u"sayfası "
     u"önizlenir.",
     u"Haz clic en una tarjeta de título para abrir su PDF. Arrastra el asa para reordenar. Al pasar el "
     u"cursor se "
     u"muestra la vista previa.",
     nullptr, u"view-list"},
    {u"Study mode",
     u"The Study mode checkbox makes title-card clicks open both the PDF and the selected Spotify or YouTube "
     u"full-title search. The provider menu chooses which site opens, and the PDF viewer is placed on the "
     u"left half "
     u"of the screen.",
     u"Çalışma modu kutusu açıkken başlık kartına tıklamak hem PDFyi hem de seçili Spotify veya YouTube tam "
     u"başlık "
     u"aramasını açar. Sağlayıcı menüsü hangi sitenin açılacağını seçer ve PDF görüntüleyici ekranın sol "
     u"yarısına "
     u"yerleşir.",
     u"La casilla Modo estudio hace que un clic en una tarjeta abra el PDF y la búsqueda de Spotify o "
     u"YouTube con el "
     u"título completo. El menú de proveedor decide qué sitio se abre y el visor PDF se coloca en la mitad "
     u"izquierda "
     u"de la pantalla.",
     nullptr, u"media-playback-start"},
    {u"Share Playlist", u"Exports or shares a playlist as PDF, JPEG, TXT, HTML, or Lyrafold playlist file.",
     u"Playlisti PDF, JPEG, TXT, HTML veya Lyrafold playlist dosyası olarak dışa aktarır/paylaşır.", nullptr,
     nullptr, u"document-send"},
};

constexpr EntryRow kAutoPlaylistEntries[] = {
    {u"Filters", u"Choose genre, style, tempo, composer, popularity, year range, title count, and set count.",
     u"Tür, stil, tempo, besteci, popülerlik, yıl aralığı, başlık sayısı ve set sayısını seçer.", nullptr,
     nullptr, u"view-sort-ascending"},
    {u"Tempo templates",
     u"Applies a tempo formula such as club gig, energy opener, slow build, or classic set.",
     u"Club gig, energy opener, slow build veya classic set gibi tempo formülleri uygular.", nullptr, nullptr,
     u"media-playlist-repeat"},
    {u"Book priority", u"Drag books to set priority. Select books to limit generated titles to those books.",
     u"Kitapları sürükleyerek öncelik verin. Seçili kitaplar üretilecek başlıkları sınırlar.", nullptr,
     nullptr, u"accessories-dictionary"},
    {u"Generate", u"Builds the auto playlist using the selected filters and book priority.",
     u"Seçilen filtreler ve kitap önceliğiyle otomatik playlist oluşturur.", nullptr, nullptr,
     u"media-playlist-shuffle"},
    {u"Title swap / book swap",
     u"Use swap actions to replace a generated title or choose another book version of the same title.",
     u"Değiştirme işlemleriyle üretilen başlığı veya aynı başlığın başka kitap versiyonunu seçebilirsiniz.",
     u"Usa las acciones de cambio para reemplazar un título generado o elegir otra versión del mismo título "
     u"en otro "
     u"libro.",
     nullptr, u"view-refresh"},
    {u"Study mode",
     u"Enable Study mode before clicking a generated title to open the PDF and the selected Spotify or "
     u"YouTube "
     u"full-title search together. The provider menu chooses which site opens.",
     u"Üretilen başlığa tıklamadan önce Çalışma modunu açarsanız PDF ve seçili Spotify veya YouTube tam "
     u"başlık "
     u"araması birlikte açılır. Sağlayıcı menüsü hangi sitenin açılacağını seçer.",
     u"Activa Modo estudio antes de hacer clic en un título generado para abrir juntos el PDF y la búsqueda "
     u"de "
     u"Spotify o YouTube con el título completo. El menú de proveedor decide qué sitio se abre.",
     nullptr, u"media-playback-start"},
    {u"Save / Share", u"Save the generated list as a playlist or export it in sharing formats.",
     u"Üretilen listeyi playlist olarak kaydedin veya paylaşım formatlarında dışa aktarın.", nullptr, nullptr,
     u"document-send"},
};

constexpr EntryRow kWorkshopEntries[] = {
    {u"Tabs / slots", u"Switches between slot book sets and workshop sections.",
     u"Slot kitap setleri ve workshop bölümleri arasında geçiş yapar.", nullptr, nullptr, u"view-grid"},
    {u"Relink PDF", u"Appears on unavailable books and lets you point Lyrafold to the correct PDF file.",
     u"Bulunamayan kitaplarda çıkar ve Lyrafoldı doğru PDF dosyasına yönlendirir.", nullptr, nullptr,
     u"insert-link"},
    {u"Hide / Show", u"Hides or shows book text labels in the grid.",
     u"Grid içindeki kitap yazılarını gizler veya gösterir.", nullptr, nullptr, u"view-visible"},
    {u"Inject Bookmarks", u"Writes or syncs bookmark data into selected books when available.",
     u"Uygunsa seçili kitaplara bookmark verisini yazar veya senkronize eder.", nullptr, nullptr,
     u"bookmark-new"},
    {u"Create Cover", u"Creates or refreshes cover thumbnails for books.",
     u"Kitap kapak küçük resimlerini oluşturur veya yeniler.", nullptr, nullptr, u"insert-image"},
    {u"Import / Export", u"Imports or exports bookmark and metadata files.",
     u"Bookmark ve metadata dosyalarını içe veya dışa aktarır.", nullptr, nullptr, u"document-open"},
};

QString text(const char16_t *utf16)
{
    return utf16 ? QString::fromUtf16(utf16) : QString();
}

std::span<const EntryRow> rowsFor(LyrafoldHelpTopic topic)
{
    switch (topic) {
    case LyrafoldHelpTopic::main:
        return kMainEntries;
    case LyrafoldHelpTopic::pdfViewer:
        return kPdfViewerEntries;
    case LyrafoldHelpTopic::playlists:
        return kPlaylistsEntries;
    case LyrafoldHelpTopic::autoPlaylist:
        return kAutoPlaylistEntries;
    case LyrafoldHelpTopic::workshop:
        break;
    }
    return kWorkshopEntries;
}

} // namespace

QString LyrafoldHelpEntry::body(LyrafoldLanguage language) const
{
    return LyrafoldLanguageService::pick(language, english, turkish, spanish);
}

namespace LyrafoldHelpCatalogue {

QList<LyrafoldHelpTopic> topics()
{
    QList<LyrafoldHelpTopic> all;
    for (const auto &titles : kTopicTitles)
        all.append(titles.topic);
    return all;
}

QString topicTitle(LyrafoldHelpTopic topic, LyrafoldLanguage language)
{
    for (const auto &titles : kTopicTitles) {
        if (titles.topic == topic)
            return text(
                LyrafoldLanguageService::pick(language, titles.english, titles.turkish, titles.spanish));
    }
    return {};
}

QString panelTitle(LyrafoldHelpTopic topic, LyrafoldLanguage language)
{
    const QString title = topicTitle(topic, language);
    return LyrafoldLanguageService::pick(language, title + QStringLiteral(" Help"),
                                         title + QStringLiteral(" Yardım"),
                                         QStringLiteral("Ayuda de ") + title);
}

QList<LyrafoldHelpEntry> entries(LyrafoldHelpTopic topic)
{
    QList<LyrafoldHelpEntry> list;
    for (const EntryRow &row : rowsFor(topic)) {
        const QString english = text(row.english);
        list.append({text(row.title), english, text(row.turkish), row.spanish ? text(row.spanish) : english,
                     text(row.assetName), text(row.systemSymbol)});
    }
    return list;
}

} // namespace LyrafoldHelpCatalogue

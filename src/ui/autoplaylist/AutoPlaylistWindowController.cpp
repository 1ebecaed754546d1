#include "ui/autoplaylist/AutoPlaylistWindowController.h"

#include "core/autoplaylist/AutoPlaylistFilters.h"
#include "core/common/NotificationBus.h"
#include "core/session/SongOpening.h"
#include "core/text/TextUtils.h"
#include "ui/app/AppContext.h"
#include "ui/autoplaylist/AutoPlaylistYearRangeSlider.h"
#include "ui/autoplaylist/GeneratedTitlesModel.h"
#include "ui/autoplaylist/GeneratedTitlesView.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldButtonEffects.h"
#include "ui/common/LyrafoldTheme.h"
#include "ui/common/StatusLine.h"
#include "ui/common/TablePagePreview.h"
#include "ui/common/WindowPlacement.h"
#include "ui/services/LyrafoldLanguageService.h"
#include "ui/share/PlaylistShareFlow.h"
#include "ui/viewer/OpenViewers.h"
#include "ui/viewer/PdfViewerWindowController.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>

namespace {

const QString windowTitleText = QStringLiteral("Auto-Playlist");

} // namespace

AutoPlaylistWindowController *AutoPlaylistWindowController::open(AppContext &context, QWidget *parent)
{
    auto *window = new AutoPlaylistWindowController(context, parent);
    WindowPlacement::bringToFront(window, true);
    LyrafoldButtonEffects::install(window);
    return window;
}

AutoPlaylistWindowController::AutoPlaylistWindowController(AppContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context), m_random(QRandomGenerator::global()->generate()),
      m_formula(AutoPlaylistFilters::tempoMapEntries()[AutoPlaylistFilters::defaultTempoMap].formula)
{
    setObjectName(QStringLiteral("autoPlaylistWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setPalette(LyrafoldTheme::hudPalette());
    setAutoFillBackground(true);
    buildInterface();
    LyrafoldLanguageService::apply(this);
    setWindowTitle(LyrafoldLanguageService::localized(windowTitleText));
    // Never smaller than its contents need, in whatever language they are.
    WindowPlacement::keepMinimumFitting(this, QSize(800, 560));
    resize(QSize(1050, 720).expandedTo(minimumSize()));
    refreshLibrary();

    // A burst of library changes (an import, an auto-tag run) is looked at once.
    m_libraryRefresh = new QTimer(this);
    m_libraryRefresh->setSingleShot(true);
    m_libraryRefresh->setInterval(0);
    connect(m_libraryRefresh, &QTimer::timeout, this, &AutoPlaylistWindowController::refreshLibrary);
    connect(&m_context.library(), &LibrarySession::libraryChanged, m_libraryRefresh,
            qOverload<>(&QTimer::start));
    connect(&NotificationBus::instance(), &NotificationBus::languageChanged, this,
            &AutoPlaylistWindowController::languageChanged);
}

AutoPlaylistWindowController::~AutoPlaylistWindowController() = default;

// ---- The library and the book list

void AutoPlaylistWindowController::refreshLibrary()
{
    const LibrarySession &library = m_context.library();
    if (m_hasLibrary && library.libraryVersion() == m_libraryVersion)
        return;
    const QStringList selected = selectedBooks();
    m_playlist.setLibrary(library.allBookmarks(), library.titleKeyIndex());
    m_libraryVersion = library.libraryVersion();
    m_hasLibrary = true;
    showBookOrder(selected);
}

void AutoPlaylistWindowController::showBookOrder(const QStringList &selected)
{
    m_bookTable->clear();
    m_bookTable->addItems(m_playlist.bookOrder());
    for (int row = 0; row < m_bookTable->count(); ++row) {
        if (selected.contains(m_bookTable->item(row)->text()))
            m_bookTable->item(row)->setSelected(true);
    }
}

QStringList AutoPlaylistWindowController::selectedBooks() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_bookTable->selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QStringList names;
    for (int row : std::as_const(rows))
        names.append(m_bookTable->item(row)->text());
    return names;
}

void AutoPlaylistWindowController::bookListReordered()
{
    QStringList order;
    for (int row = 0; row < m_bookTable->count(); ++row)
        order.append(m_bookTable->item(row)->text());
    if (!m_playlist.setBookOrder(order))
        showBookOrder(selectedBooks());
}

void AutoPlaylistWindowController::moveBookUp()
{
    moveSelectedBook(-1);
}

void AutoPlaylistWindowController::moveBookDown()
{
    moveSelectedBook(1);
}

void AutoPlaylistWindowController::moveSelectedBook(int step)
{
    const int row = m_bookTable->currentRow();
    if (row < 0 || !m_bookTable->item(row)->isSelected())
        return;
    if (const auto to = m_playlist.moveBook(row, step)) {
        showBookOrder({});
        m_bookTable->setCurrentRow(int(*to), QItemSelectionModel::ClearAndSelect);
    }
}

// ---- The form

void AutoPlaylistWindowController::tempoMapPopupChanged(int index)
{
    const auto &presets = AutoPlaylistFilters::tempoMapEntries();
    if (index < 0 || index >= presets.size())
        return;
    m_formula = presets[index].formula;
}

void AutoPlaylistWindowController::yearSliderChanged()
{
    m_yearRangeToLabel->setText(QStringLiteral("From %1   To %2")
                                    .arg(QString::number(m_yearRangeSlider->lowerYear()),
                                         QString::number(m_yearRangeSlider->upperYear())));
}

void AutoPlaylistWindowController::generateTapped()
{
    refreshLibrary();
    // A count typed out of range or half typed counts as the field shows it once corrected.
    m_titlesField->interpretText();
    m_setsField->interpretText();
    AutoPlaylistRequest request;
    request.titlesPerSet = m_titlesField->value();
    request.setCount = m_setsField->value();
    request.genres = m_genreField->text();
    request.styles = m_styleField->text();
    request.tempo = m_tempoField->text();
    request.composers = m_composerField->text();
    request.popularity = m_popularityField->text();
    request.tempoFormula = m_formula;
    request.lowerYear = m_yearRangeSlider->lowerYear();
    request.upperYear = m_yearRangeSlider->upperYear();
    request.minYear = m_yearRangeSlider->minYear();
    request.maxYear = m_yearRangeSlider->maxYear();
    request.selectedBooks = selectedBooks();
    const GeneratedPlaylist::Outcome outcome = m_playlist.generate(request, m_random);
    if (outcome.listChanged) {
        m_preview->close();
        m_results->listReplaced();
        updateGeneratedTitlesHeader();
    }
    setStatus(outcome.status);
}

// ---- The generated list

void AutoPlaylistWindowController::updateGeneratedTitlesHeader()
{
    const qsizetype count = m_playlist.entries().size();
    m_resultsTitleLabel->setText(count > 0
                                     ? QStringLiteral("Generated titles (%1) — drag ≡ to reorder").arg(count)
                                     : LyrafoldLanguageService::localized(QStringLiteral(
                                           "Generated titles — click Generate above to create a list.")));
}

void AutoPlaylistWindowController::cardButtonClicked(AutoPlaylistGeneratedRowView::Button button, int row)
{
    using Button = AutoPlaylistGeneratedRowView::Button;
    switch (button) {
    case Button::bookSwap:
        swapBookAtRow(row);
        return;
    case Button::titleSwap:
        swapTitleAtRow(row);
        return;
    case Button::remove:
        deleteRow(row);
        return;
    case Button::spotify:
        openSpotifyGeneratedRow(row);
        return;
    case Button::youtube:
        openYouTubeGeneratedRow(row);
        return;
    }
}

void AutoPlaylistWindowController::deleteRow(int row)
{
    m_preview->close();
    if (m_results->removeTitle(row))
        updateGeneratedTitlesHeader();
}

void AutoPlaylistWindowController::swapBookAtRow(int row)
{
    if (m_playlist.swapBook(row, selectedBooks()))
        m_results->rowReplaced(row);
}

void AutoPlaylistWindowController::swapTitleAtRow(int row)
{
    switch (m_playlist.swapTitle(row, m_random)) {
    case GeneratedPlaylist::TitleSwap::swapped:
        m_results->rowReplaced(row);
        return;
    case GeneratedPlaylist::TitleSwap::noOtherTitles:
        LyrafoldAlert::run(this, LyrafoldAlert::Style::informational,
                           QStringLiteral("No other titles available"),
                           QStringLiteral("All matching titles are already in the generated list."));
        return;
    case GeneratedPlaylist::TitleSwap::unchanged:
        return;
    }
}

void AutoPlaylistWindowController::openSpotifyGeneratedRow(int row)
{
    openWebLink(row, PlaylistRows::Link::spotify);
}

void AutoPlaylistWindowController::openYouTubeGeneratedRow(int row)
{
    openWebLink(row, PlaylistRows::Link::youtube);
}

void AutoPlaylistWindowController::openWebLink(int row, PlaylistRows::Link link)
{
    const BookmarkEntry *entry = m_results->entry(row);
    if (!entry)
        return;
    if (const QUrl address = PlaylistRows::linkAddress(*entry, link); !address.isEmpty())
        QDesktopServices::openUrl(address);
}

void AutoPlaylistWindowController::openGeneratedTitleAtRow(int row)
{
    const BookmarkEntry *found = m_results->entry(row);
    if (!found)
        return;
    m_preview->close();
    m_resultsTable->selectRow(row);
    // The viewer opens once the press is over, with the whole list to play through.
    QTimer::singleShot(0, this, [this, entry = *found, context = m_playlist.entries()] {
        const OpenSongPlan plan = SongOpening::planOpenPdfWithContext(m_context.library(), entry, context);
        if (!plan.request) {
            LyrafoldAlert::run(this, LyrafoldAlert::Style::warning, QStringLiteral("File not found"),
                               plan.missingPath);
            return;
        }
        m_context.viewers().openSong(*plan.request);
    });
}

// ---- Save, share, language

void AutoPlaylistWindowController::saveTapped()
{
    const QString name = TextUtils::trimmed(m_playlistNameField->text());
    if (name.isEmpty()) {
        setStatus(QStringLiteral("Enter a playlist name."));
        return;
    }
    const BookmarkList &entries = m_playlist.entries();
    if (entries.isEmpty()) {
        setStatus(QStringLiteral("Generate a playlist first."));
        return;
    }
    // Titles already in the playlist stay once; a write that fails later replaces this text.
    for (const BookmarkEntry &entry : entries)
        m_context.playlists().addToPlaylist(name, entry);
    Q_EMIT playlistSaved(name, entries.size());
    setStatus(QStringLiteral("Saved %1 items to \"%2\".").arg(entries.size()).arg(name));
}

void AutoPlaylistWindowController::shareTapped()
{
    const BookmarkList &entries = m_playlist.entries();
    if (entries.isEmpty()) {
        setStatus(QStringLiteral("Generate a playlist first."));
        return;
    }
    QList<PlaylistItem> items;
    items.reserve(entries.size());
    for (const BookmarkEntry &entry : entries)
        items.append(PlaylistItem::fromBookmark(entry));
    QString name = TextUtils::trimmed(m_playlistNameField->text());
    if (name.isEmpty())
        name = QStringLiteral("Auto-Playlist");
    if (PlaylistShareFlow *flow =
            PlaylistShareFlow::start(this, m_shareButton, items, name, PlaylistShareFlow::Kind::autoPlaylist))
        connect(flow, &PlaylistShareFlow::statusChanged, this, &AutoPlaylistWindowController::setStatus);
}

void AutoPlaylistWindowController::languageChanged()
{
    setWindowTitle(LyrafoldLanguageService::localized(windowTitleText));
    updateGeneratedTitlesHeader();
}

void AutoPlaylistWindowController::setStatus(const QString &text)
{
    m_statusField->setStatus(text);
}

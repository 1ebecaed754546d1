#pragma once

#include "core/autoplaylist/GeneratedPlaylist.h"
#include "core/playlist/PlaylistRows.h"
#include "ui/autoplaylist/AutoPlaylistFilterPicker.h"
#include "ui/autoplaylist/AutoPlaylistGeneratedRowView.h"

#include <QRandomGenerator>
#include <QWidget>

class AppContext;
class AutoPlaylistYearRangeSlider;
class GeneratedTitlesModel;
class GeneratedTitlesView;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTimer;
class StatusLine;
class TablePagePreview;

// The Auto-Playlist window: a form of counts, filters, a year range, a tempo map and the book priority
// on top; the generated titles as cards below, which the user reorders, swaps, removes, previews and
// opens; a name, a status line and Save, Share and Close at the bottom. It draws from the library of
// the context (the current slot, followed as it changes) and saves into its playlists, so an open
// playlists window shows a saved list at once.
class AutoPlaylistWindowController : public QWidget {
    Q_OBJECT

public:
    static constexpr int hoverDelayMilliseconds = 300;
    static constexpr int firstYear = 1900;

    // A new window every time, shown in front and centred; it deletes itself when closed.
    static AutoPlaylistWindowController *open(AppContext &context, QWidget *parent);

    ~AutoPlaylistWindowController() override;

    // The form's actions.
    void generateTapped();
    void moveBookUp();
    void moveBookDown();
    void tempoMapPopupChanged(int index);
    void saveTapped();
    void shareTapped();

    // The generated list's actions, by row.
    void swapBookAtRow(int row);
    void swapTitleAtRow(int row);
    void deleteRow(int row);
    void openSpotifyGeneratedRow(int row);
    void openYouTubeGeneratedRow(int row);
    void openGeneratedTitleAtRow(int row);

Q_SIGNALS:
    // Save put the generated titles into the playlist of that name (count: the titles given).
    void playlistSaved(const QString &name, qsizetype count);

private:
    explicit AutoPlaylistWindowController(AppContext &context, QWidget *parent = nullptr);
    void buildInterface();
    QWidget *buildForm();
    QWidget *buildCounts();
    QWidget *buildFilters();
    QWidget *buildYearBlock();
    QWidget *buildTempoMap();
    QWidget *buildBookColumn();
    QWidget *buildResultsHeader();
    QWidget *buildResultsTable();
    QWidget *buildFooter();
    QWidget *filterRow(const QString &label, AutoPlaylistFilterPicker::Kind kind, QLineEdit *&field);

    void refreshLibrary();
    void showBookOrder(const QStringList &selected);
    QStringList selectedBooks() const;
    void bookListReordered();
    void moveSelectedBook(int step);
    void updateGeneratedTitlesHeader();
    void yearSliderChanged();
    void languageChanged();
    void setStatus(const QString &text);
    void openWebLink(int row, PlaylistRows::Link link);
    void cardButtonClicked(AutoPlaylistGeneratedRowView::Button button, int row);

    AppContext &m_context;
    GeneratedPlaylist m_playlist;
    quint64 m_libraryVersion = 0;
    bool m_hasLibrary = false;
    QRandomGenerator m_random;
    // The tempo formula of the chosen tempo map.
    QString m_formula;

    QSpinBox *m_titlesField = nullptr;
    QSpinBox *m_setsField = nullptr;
    QLineEdit *m_genreField = nullptr;
    QLineEdit *m_styleField = nullptr;
    QLineEdit *m_tempoField = nullptr;
    QLineEdit *m_composerField = nullptr;
    QLineEdit *m_popularityField = nullptr;
    AutoPlaylistYearRangeSlider *m_yearRangeSlider = nullptr;
    QLabel *m_yearRangeToLabel = nullptr;
    QComboBox *m_tempoTemplatePopup = nullptr;
    QListWidget *m_bookTable = nullptr;
    QLabel *m_resultsTitleLabel = nullptr;
    GeneratedTitlesView *m_resultsTable = nullptr;
    GeneratedTitlesModel *m_results = nullptr;
    TablePagePreview *m_preview = nullptr;
    QLineEdit *m_playlistNameField = nullptr;
    StatusLine *m_statusField = nullptr;
    QPushButton *m_shareButton = nullptr;
    QTimer *m_libraryRefresh = nullptr;
};

#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "ui/mainwindow/MainWindowView.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>

class AppContext;
class AutoTagFlow;
class BookmarkHoverOverlay;
class BookmarkTableModel;
class LibrarySession;
class LibraryShownRows;
class QMouseEvent;
struct MetadataValues;
class TablePagePreview;

// The main window's library table: the shown rows of the library (LibraryShownRows), their selection and what
// the user does on them. Each plain click pulses the row and acts a moment later, by mode (add to
// playlist, edit the cell, open the song); a double click opens the song once; Return on the selected
// current row acts as a click on its current cell. It keeps the column edit mode, the sort indicator
// and the page preview on hover, and runs what the search row's buttons and the menus do to the
// selected rows (tag, delete, edit the metadata). Reports go to the window's status line.
class LibraryTableController : public QObject {
    Q_OBJECT

public:
    // controls: the window's, of which the table and the search row's edit, tag and delete buttons
    // are this object's to drive. autoTag: the window's run for the rows.
    LibraryTableController(AppContext &context, const MainWindowControls &controls, AutoTagFlow &autoTag,
                           QObject *parent);
    ~LibraryTableController() override;

    // A reload either clears the selection or keeps the songs selected that are still shown, found
    // by identity key wherever the new order puts them; the latter keeps an open cell field too while
    // the same rows are shown.
    enum class SelectionAfterReload { clear, keepSongs };
    void reload(SelectionAfterReload selection);
    // The header's sort indicator: on the sorted column while the rows stand (or are about to stand)
    // in its order.
    void showSortOrder();
    // The tag and delete buttons' titles and looks, for the selection and the current slot.
    void syncSelectedRowsButtonsEnabled();
    void retranslate();

    // Column edit mode: with it on, outside slot 0, the editable columns' cells open for editing.
    void toggleColumnEditMode();
    // A cell's field still open ends as leaving it would, and its text reaches the library now: called
    // before work done elsewhere changes the rows (LibrarySession::rowsAboutToChange()) and before every
    // command, while the field's song is still there.
    void commitOpenCellEdit();
    // While on, a plain click hands the song to addToPlaylistClicked() instead of opening it.
    void setAddToPlaylistMode(bool on);

    // The keyboard focus to the rows, the first one current and selected as a click selects it; the
    // song is not opened. Returns false, and does nothing, while no row is shown.
    bool focusFirstRow();

    void deleteSelectedRows();
    void editSelectedMetadata();
    void tagSelectedRows();

    // How long a row's press shows before its click acts (0.1 s); tests that click through several
    // cells shorten it. The application never calls this.
    void setClickActionDelayForTesting(int milliseconds) { m_clickActionDelayMilliseconds = milliseconds; }

Q_SIGNALS:
    void addToPlaylistClicked(const BookmarkEntry &entry);
    // A metadata cell's edit is about to be applied: the library is the user's own from now on.
    void metadataCellEdited();
    void rowsDeleted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int clickActionDelayMilliseconds = 100;

    // Names the column in edit mode on the edit mode button, in the interface language.
    void showEditingColumn(const QString &column);
    void setupPreviewHover();
    void selectionChanged();
    QList<int> selectedDisplayRows() const;
    void selectRowsWithIdentityKeys(const QSet<QString> &keys);
    void headerClicked(const QString &column);
    void handleClick(QMouseEvent *event);
    void startRowAction(int row, const QString &column);
    void performClickAction(const BookmarkEntry &entry, int row, const QString &column);
    void openFromDoubleClick();
    // Whether a click on key's song opened it within window milliseconds; if not, this one does.
    bool openedJustNow(const QString &key, qint64 window);
    void showRowContextMenu(const QPoint &viewportPosition);
    void tagRow(int row);
    void addToPlaylist(int row);
    void shareRow(int row);
    void applyMetadataDialogValues(const BookmarkEntry &entry, const MetadataValues &values);
    void cellEditEnded(int row, const QString &column, const QString &text);
    // What the end of a cell's edit does, once the view has let go of the field.
    void applyCellEdits();
    // The shown rows take the order that waited while a field was open, once none is.
    // The cell's field has closed: its text given to its song, the rows' order and what waited to land
    // come in.
    void fieldClosed();
    void applyCellEdit(const BookmarkEntry &entry, const QString &column, const QString &text);
    void setStatus(const QString &text);
    QWidget *alertParent() const;

    AppContext &m_context;
    LibrarySession &m_session;
    LibraryShownRows &m_shownRows;
    const MainWindowControls &m_ui;
    AutoTagFlow &m_autoTag;
    BookmarkTableModel *m_model = nullptr;
    TablePagePreview *m_preview = nullptr;
    BookmarkHoverOverlay *m_hoverOverlay = nullptr;
    QWidget *m_rowShareAnchor = nullptr;

    bool m_isColumnEditModeEnabled = false;
    QString m_editingColumn; // the column the edit mode button names
    bool m_addsToPlaylist = false;
    // A deletion waits for the other slots to be read: a second click meanwhile asks nothing.
    bool m_planningDeletion = false;
    QSet<QString> m_selectedKeys;
    // Ended cell edits waiting for the view to let go of their fields, in the order they ended.
    struct CellEdit {
        BookmarkEntry entry;
        QString column;
        QString text;
    };
    QList<CellEdit> m_endedCellEdits;
    // A cell's field is open (or one after another, with Tab): what would change the rows waits.
    bool m_fieldHoldsLandings = false;
    // The last song a click opened, so that the double click on it does not open it again.
    QString m_lastClickOpenKey;
    QElapsedTimer m_lastClickOpen;
    int m_clickActionDelayMilliseconds = clickActionDelayMilliseconds;
};

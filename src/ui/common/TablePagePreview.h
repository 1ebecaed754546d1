#pragma once

#include "ui/common/PagePreviewWindow.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class QTableView;
class QTimer;
struct SongRecord;

// The page preview of a table of songs: while the pointer rests on a row, the first page of its song
// shows in a small window beside the pointer, rendered on a worker; leaving the rows, a move while the
// window is in the background, or the window's deactivation takes it away. A row whose page cannot be
// shown (its book missing or unreadable) shows none, rather than the page of the row before; a menu
// or a dialog that opens takes the preview away too, so it never covers them. It watches the table's
// viewport and the table's window; the whole application only while a preview is on its way or shown,
// and then only for windows that open.
//
// Every window with such a table makes one (the library table, the playlists window's titles, the
// auto playlist's generated list) and passes the song of each shown row. A window that draws a hover
// band follows hoveredRowChanged() and previewRowChanged().
class TablePagePreview : public QObject {
    Q_OBJECT

public:
    static constexpr int hoverDelayMilliseconds = 150;

    // The song of a shown row, or null for none.
    using SongAt = std::function<const SongRecord *(int row)>;

    // How a window's table uses the preview: the pause before a page shows; whether a left press on a
    // row's song opens it at once (rowPressed) rather than being left to the window's own clicks; and
    // the places in a row that are controls of their own (buttons drawn in it), over which no preview
    // shows and whose presses are the controls'.
    struct Behaviour {
        int hoverDelayMilliseconds = TablePagePreview::hoverDelayMilliseconds;
        bool opensOnPress = false;
        std::function<bool(int row, const QPoint &viewportPosition)> isOnControl;
    };

    TablePagePreview(QTableView *table, SongAt songAt, QObject *parent = nullptr);
    TablePagePreview(QTableView *table, SongAt songAt, QObject *parent, Behaviour behaviour);
    ~TablePagePreview() override;

    // While suspended (a cell of the table being edited) no preview shows; suspending closes one.
    void setSuspended(bool suspended);

    // The songs of the rows changed in place (a book found again later): the row the pointer rests on
    // is asked again when it shows no page.
    void songsChanged();

    // Closes the preview and forgets the rows, as when the pointer leaves the table.
    void close();
    // Closes the preview before something else takes the row (a cell editor opening); the band stays.
    void dismiss();

    // What the preview does now, for the tests: whether it is suspended, the row whose page shows (or
    // was asked for last) and the row waiting for the delay (-1 for none), and its window while open.
    struct State {
        bool suspended = false;
        int shownRow = -1;
        int pendingRow = -1;
        PagePreviewWindow *window = nullptr;
    };
    State stateForTesting() const { return {m_suspended, m_shownRow, m_pendingRow, m_window}; }

Q_SIGNALS:
    // The row under the pointer that the preview follows; -1 when none.
    void hoveredRowChanged(int row);
    // The row whose page the preview window shows; -1 when it shows none.
    void previewRowChanged(int row);
    // With opensOnPress: a left press went down on the row's song, off its controls; the preview has
    // closed.
    void rowPressed(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pointerMoved(const QPoint &global);
    void pressed(const QPoint &local);
    bool isOnControl(int row, const QPoint &local) const;
    void showPendingRow();
    void startRendering(int row, const SongRecord &song, const QPoint &pointer);
    void pageRendered(int row, const QImage &image, const QPoint &pointer);
    // Closes the window and stops a rendering in flight; the rows stay.
    void closeWindow();
    // The row has no page to show: no window, no preview band.
    void showNoPage();
    // Whether a menu or a dialog is open, which a preview must not cover.
    static bool somethingElseIsOpen();
    void setHoveredRow(int row);
    void setPreviewRow(int row);
    bool active() const;

    // The table as it is now: null once it is gone or being torn down (its viewport still sends events
    // then, and the object is no longer a table).
    QTableView *table() const { return qobject_cast<QTableView *>(m_table.data()); }

    QPointer<QObject> m_table;
    SongAt m_songAt;
    Behaviour m_behaviour;
    QTimer *m_hoverTimer = nullptr;
    // Watches the application for menus and dialogs that open, while a preview may show.
    QObject *m_openingWatcher = nullptr;
    QPointer<PagePreviewWindow> m_window;
    bool m_suspended = false;
    int m_shownRow = -1;
    int m_pendingRow = -1;
    int m_hoveredRow = -1;
    int m_previewRow = -1;
    // Set to cancel the page rendering in flight; each rendering has its own.
    std::shared_ptr<std::atomic_bool> m_cancelRendering;
};

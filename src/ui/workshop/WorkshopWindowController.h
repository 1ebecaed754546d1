#pragma once

#include "core/books/WorkshopBooks.h"
#include "core/common/LatestRun.h"

#include <QWidget>

class AppContext;
class LibraryFlowService;
class MetadataImportFlow;
class StatusSink;
class LibraryFiles;
class LibrarySession;
class LibrarySlots;
class StatusLine;
class CoverThumbnailLoader;
class QLabel;
class QPushButton;
class WorkshopGridItemDelegate;
class WorkshopGridModel;
class WorkshopGridView;

// The Bookmark Workshop: the books of one slot as a grid of covers, a tab for each of the six slots
// and a toolbar of library actions. It owns no library data: the books are listed from the
// application's LibrarySession, and the toolbar's actions are the library flows of the application
// context, which report in the workshop's own status line.
//
// The tab shown is always the library's current slot, on which the actions work: a tab press makes
// its slot the current one, and a slot made current elsewhere (the main window, an import, an
// extraction) selects its tab. The grid follows every change of the library at once.
class WorkshopWindowController : public QWidget {
    Q_OBJECT

public:
    explicit WorkshopWindowController(AppContext &context, QWidget *parent = nullptr);

    // Lists the books of the active tab again (on a worker) and shows them; the covers made already
    // stay. Runs once more after the listing under way when asked meanwhile.
    void reloadSlotBooks();
    // The window title: "Bookmark Workshop — Slot 2 • 14 books".
    void updateWindowSubtitle();

Q_SIGNALS:
    // A listing of books is on screen: what benchmarks of the listing wait for.
    void slotBooksShownForTesting();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void setupContent();
    void tabPressed(int slot);
    QWidget *makeTabBar();
    QWidget *makeToolbarRow();
    void updateTabChrome();
    void updateTabTitles();
    void updateBooksLoadedLabel();
    void showBooks(QList<WorkshopSlotBook> books);
    // Whether the tab changed.
    bool followOwnerSlot();
    void requestVisibleCovers();
    void languageChanged();
    // A library flow that reports here; the books are listed again after it when asked.
    void runFlow(void (LibraryFlowService::*flow)(StatusSink &));
    void runFlowAndReload(void (LibraryFlowService::*flow)(StatusSink &));
    void setShowCoverLabels(bool show);
    void createCovers();
    void selectAll();
    void selectNone();
    void promptRelink(int row);
    void openBook(int row);

    AppContext &m_context;
    LibrarySession &m_session;
    LibrarySlots &m_slots;
    LibraryFiles &m_files;
    MetadataImportFlow *m_metadataImports = nullptr;
    StatusLine *m_statusField = nullptr;
    qint64 m_activeTabIndex = 0;
    LatestRun<QList<WorkshopSlotBook>> m_listing{this};
    LatestRun<BookmarkList> m_opening{this};

    CoverThumbnailLoader *m_covers = nullptr;
    WorkshopGridModel *m_model = nullptr;
    WorkshopGridItemDelegate *m_delegate = nullptr;
    WorkshopGridView *m_grid = nullptr;
    QList<QPushButton *> m_tabButtons;
    QLabel *m_booksLoadedLabel = nullptr;
};

#pragma once

#include "core/books/CustomPdfFiles.h"
#include "core/common/LatestRun.h"

#include <QWidget>

class AppContext;
class CoverThumbnailLoader;
class CustomFileListModel;
class QComboBox;
class QLabel;
class QListView;
class StatusLine;

// The "Custom Files" window: the imported pictures and PDFs of the user's slots, as single files or as
// books, with their covers, and the deletion of chosen ones everywhere. The files are listed again
// whenever the library changes; the deletions and imports started here report in its status line.
class CustomFilesWindowController : public QWidget {
    Q_OBJECT

public:
    // The rows of the list: the group's subtitle and path besides its name (display role) and cover
    // (decoration role).
    static constexpr int subtitleRole = Qt::UserRole + 1;
    static constexpr int pathRole = Qt::UserRole + 2;

    explicit CustomFilesWindowController(AppContext &context, QWidget *parent = nullptr);

    // Lists the files again (on a worker); runs once more after the listing under way when asked
    // meanwhile.
    void reloadGroups();

private:
    void applyCategory();
    void showKindOfNewGroups(const QList<CustomFileGroup> &groups);
    void deletePressed();
    void requestVisibleCovers();

    AppContext &m_context;
    QList<CustomFileGroup> m_groups;
    bool m_listed = false;
    LatestRun<QList<CustomFileGroup>> m_listing{this};

    CoverThumbnailLoader *m_covers = nullptr;
    CustomFileListModel *m_model = nullptr;
    QListView *m_list = nullptr;
    QComboBox *m_categoryPopup = nullptr;
    QLabel *m_countLabel = nullptr;
    StatusLine *m_statusField = nullptr;
};

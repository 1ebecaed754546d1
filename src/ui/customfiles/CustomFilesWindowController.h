#pragma once

#include "core/common/LatestRun.h"
#include "core/library/CustomPdfFiles.h"

#include <QWidget>

#include <functional>

class AppContext;
class CoverThumbnailLoader;
class CustomFileListModel;
class QComboBox;
class QLabel;
class QListView;

// The "Custom Files" window: the imported pictures and PDFs of the user's slots, as single files or as
// books, with their covers, and the deletion of chosen ones everywhere. The files are listed again
// whenever the library changes.
class CustomFilesWindowController : public QWidget {
    Q_OBJECT

public:
    struct Actions {
        // Work that lists the imported files, to run on a worker.
        std::function<std::function<QList<CustomFileGroup>()>()> reloadGroups;
        std::function<void(const QList<CustomFileGroup> &groups)> deleteGroups;
        std::function<void()> importImagesAndPDFs;
    };

    // The rows of the list: the group's subtitle and path besides its name (display role) and cover
    // (decoration role).
    static constexpr int subtitleRole = Qt::UserRole + 1;
    static constexpr int pathRole = Qt::UserRole + 2;

    CustomFilesWindowController(AppContext &context, Actions actions, QWidget *parent = nullptr);

    // Lists the files again (on a worker); runs once more after the listing under way when asked
    // meanwhile.
    void reloadGroups();

private:
    void applyCategory();
    void showKindOfNewGroups(const QList<CustomFileGroup> &groups);
    void deletePressed();
    void requestVisibleCovers();

    Actions m_actions;
    QList<CustomFileGroup> m_groups;
    bool m_listed = false;
    LatestRun<QList<CustomFileGroup>> m_listing{this};

    CoverThumbnailLoader *m_covers = nullptr;
    CustomFileListModel *m_model = nullptr;
    QListView *m_list = nullptr;
    QComboBox *m_categoryPopup = nullptr;
    QLabel *m_countLabel = nullptr;
};

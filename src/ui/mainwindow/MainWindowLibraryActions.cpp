// The main window's side of the library's long work: the progress and the Cancel in its status line,
// the files dropped on it, the library shown again after it was replaced, and the "Slots" menu's own
// commands. The work is the session's and the library flows'; the window asks and shows.

#include "ui/mainwindow/MainWindowController.h"

#include "core/slots/SlotInput.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/common/StatusLine.h"
#include "ui/extract/BookmarkExtractionFlow.h"
#include "ui/import/ImagePdfDropTarget.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

void MainWindowController::setupLibraryFlows()
{
    LibraryFlowService &flows = m_context.libraryFlows();
    BookmarkExtractionFlow &extraction = flows.extraction();

    // The progress of the library's long work sits in the status line, after its text.
    m_statusProgress = new QProgressBar;
    m_statusProgress->setObjectName(QStringLiteral("statusProgressBar"));
    m_statusProgress->setFixedWidth(160);
    m_statusProgress->setTextVisible(false);
    m_statusProgress->hide();
    m_statusCancelButton = new QPushButton(QStringLiteral("Cancel"));
    m_statusCancelButton->setObjectName(QStringLiteral("statusCancelButton"));
    m_statusCancelButton->setToolTip(QStringLiteral("Stop the extraction; the library stays as it is."));
    m_statusCancelButton->hide();
    if (auto *row = qobject_cast<QBoxLayout *>(m_ui.statusField->parentWidget()->layout())) {
        const int after = row->indexOf(m_ui.statusField) + 1;
        row->insertWidget(after, m_statusCancelButton);
        row->insertWidget(after, m_statusProgress);
    }
    // The extraction speaks English in every language, its Cancel too.
    LyrafoldLanguageService::markKeptEnglish(m_statusCancelButton);
    connect(m_statusCancelButton, &QPushButton::clicked, &flows, &LibraryFlowService::cancelExtraction);

    connect(&extraction, &BookmarkExtractionFlow::progressChanged, this,
            [this](qsizetype done, qsizetype total) {
                m_statusProgress->setRange(0, int(total));
                m_statusProgress->setValue(int(done));
                m_statusProgress->show();
            });
    connect(&extraction, &BookmarkExtractionFlow::cancellable, m_statusCancelButton, &QWidget::setVisible);
    connect(&extraction, &BookmarkExtractionFlow::busyChanged, this, [this](bool busy) {
        if (m_ui.extractButton)
            m_ui.extractButton->setEnabled(!busy && !m_session.selectedFolder().isEmpty());
        if (!busy)
            m_statusCancelButton->hide();
        showStatusProgress();
    });
    connect(&extraction, &BookmarkExtractionFlow::newExtractionReady, this, [this] {
        if (m_ui.folderPathField)
            m_ui.folderPathField->clear();
        if (m_ui.extractButton)
            m_ui.extractButton->setEnabled(false);
        customModeToggled();
    });
    connect(&flows, &LibraryFlowService::userLibraryAdopted, this, &MainWindowController::customModeToggled);
    connect(&flows, &LibraryFlowService::importBusyChanged, this, &MainWindowController::showStatusProgress);

    auto *drops = new ImagePdfDropTarget(centralWidget());
    connect(drops, &ImagePdfDropTarget::filesDropped, this, [this](const QStringList &paths) {
        whenSlotRead([this, paths] {
            m_context.libraryFlows().importImagesAndPDFs(*m_ui.statusField, paths, std::nullopt);
        });
    });
}

void MainWindowController::showStatusProgress()
{
    // While an extraction asks its questions nothing is under way yet; its progress shows the bar.
    if (m_context.libraryFlows().extraction().isBusy())
        return;
    // An import tells no count: the bar only says that it works.
    m_statusProgress->setRange(0, 0);
    m_statusProgress->setVisible(m_context.libraryFlows().isImporting());
}

void MainWindowController::showReplacedLibrary()
{
    // Another slot's library, brought from another window (an import there): nothing said of the slot
    // left stays under it. Whoever asked for it tells what became of it, a switch here just after.
    const qint64 slot = m_session.currentSlotId();
    if (std::exchange(m_shownSlot, slot) != slot)
        m_ui.statusField->showReady();
    showCurrentSlotTile();
    updateSlotTileNames();
    showSelectedFolder();
    // An extraction rebuilds the books the user is working on, and the rows of the slot read at start
    // arrive under what the user typed while they were read: what they searched for stays searched.
    const bool keepSearch =
        m_context.libraryFlows().extraction().isBusy() || std::exchange(m_readingAtStart, false);
    if (m_ui.searchField && !keepSearch) {
        // Text typed just before is dropped with its pass still waiting for the pause in typing.
        m_ui.searchField->clear();
        m_searchDebounceTimer->stop();
    }
    m_table->showSortOrder();
    m_table->reload(SelectionAfterReload::clear);
    refreshSearchResultCount();
    if (keepSearch)
        searchChanged();
}

// ---- The "Slots" menu

void MainWindowController::saveSlotNow()
{
    setStatus(m_slots.saveSlotNow());
}

void MainWindowController::reloadSlotNow()
{
    m_slots.reloadCurrentSlot(this, [this](const QString &status) { setStatus(status); });
    const qint64 slot = m_session.currentSlotId();
    setStatus(StatusLine::loadingSlotText(m_slots.slotTileNames().value(int(slot))));
}

void MainWindowController::copySlotToAnother()
{
    const qint64 slot = m_session.currentSlotId();
    const QString name = m_slots.slotTileNames().value(int(slot));
    const std::optional<QString> typed = LyrafoldFormAlert::askText(
        alertParent(), QStringLiteral("copySlotPrompt"), QStringLiteral("Copy %1 to another slot").arg(name),
        QStringLiteral("Enter destination slot number (0-5). The destination slot file will be replaced."),
        QStringLiteral("Copy"), 80);
    if (!typed)
        return;
    const std::optional<qint64> destination = SlotInput::parseSlotNumber(*typed);
    if (!destination)
        return;
    m_slots.copyCurrentSlotTo(*destination, this, [this](const QString &status) { setStatus(status); });
}

// What the main window does to whole slots and to the library's sources: the "Slots" menu, extraction
// from a folder, imports of pictures and PDFs (from the open panel or dropped on the window). The work
// is the session's and the flows'; the window asks and shows.

#include "ui/mainwindow/MainWindowController.h"

#include "core/library/SlotInput.h"
#include "ui/app/AppContext.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/common/SlotClearing.h"
#include "ui/common/StatusLine.h"
#include "ui/extract/BookmarkExtractionFlow.h"
#include "ui/import/ImagePdfDropTarget.h"
#include "ui/import/ImagePdfImportFlow.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

void MainWindowController::setupLibraryFlows()
{
    m_extractionFlow = new BookmarkExtractionFlow(m_session, this);
    m_importFlow = new ImagePdfImportFlow(m_context, this);

    // The progress of long work sits in the status line, after its text.
    m_statusProgress = new QProgressBar;
    m_statusProgress->setObjectName(QStringLiteral("statusProgressBar"));
    m_statusProgress->setFixedWidth(160);
    m_statusProgress->setTextVisible(false);
    m_statusProgress->hide();
    m_statusCancelButton = new QPushButton(QStringLiteral("Cancel"));
    m_statusCancelButton->setObjectName(QStringLiteral("statusCancelButton"));
    m_statusCancelButton->setToolTip(QStringLiteral("Stop the extraction; the library stays as it is."));
    m_statusCancelButton->hide();
    if (auto *row = qobject_cast<QBoxLayout *>(m_statusField->parentWidget()->layout())) {
        const int after = row->indexOf(m_statusField) + 1;
        row->insertWidget(after, m_statusCancelButton);
        row->insertWidget(after, m_statusProgress);
    }
    // Made after the window was translated: in the language of the moment, and of every later switch.
    LyrafoldLanguageService::apply(m_statusCancelButton);
    connect(m_statusCancelButton, &QPushButton::clicked, this, &MainWindowController::cancelExtraction);

    connect(m_extractionFlow, &BookmarkExtractionFlow::statusChanged, this, &MainWindowController::setStatus);
    connect(m_extractionFlow, &BookmarkExtractionFlow::progressChanged, this,
            [this](qsizetype done, qsizetype total) {
                m_statusProgress->setRange(0, int(total));
                m_statusProgress->setValue(int(done));
                m_statusProgress->show();
            });
    connect(m_extractionFlow, &BookmarkExtractionFlow::cancellable, m_statusCancelButton,
            &QWidget::setVisible);
    connect(m_extractionFlow, &BookmarkExtractionFlow::busyChanged, this, [this](bool busy) {
        if (m_extractButton)
            m_extractButton->setEnabled(!busy && !m_session.selectedFolder().isEmpty());
        if (!busy)
            m_statusCancelButton->hide();
        showStatusProgress();
    });
    connect(m_extractionFlow, &BookmarkExtractionFlow::extracted, this,
            &MainWindowController::customModeToggled);
    connect(m_extractionFlow, &BookmarkExtractionFlow::newExtractionReady, this, [this] {
        if (m_folderPathField)
            m_folderPathField->clear();
        if (m_extractButton)
            m_extractButton->setEnabled(false);
        customModeToggled();
    });

    connect(m_importFlow, &ImagePdfImportFlow::statusChanged, this, &MainWindowController::setStatus);
    connect(m_importFlow, &ImagePdfImportFlow::busyChanged, this, &MainWindowController::showStatusProgress);
    connect(m_importFlow, &ImagePdfImportFlow::firstTitleImported, this,
            [this](const BookmarkEntry &entry) { openPdf(entry); });

    auto *drops = new ImagePdfDropTarget(centralWidget());
    connect(drops, &ImagePdfDropTarget::filesDropped, this,
            [this](const QStringList &paths) { importImagesAndPDFs(paths, std::nullopt); });
}

void MainWindowController::showStatusProgress()
{
    // While an extraction asks its questions nothing is under way yet; its progress shows the bar.
    if (m_extractionFlow->isBusy())
        return;
    // An import tells no count: the bar only says that it works.
    m_statusProgress->setRange(0, 0);
    m_statusProgress->setVisible(m_importFlow->isBusy());
}

void MainWindowController::showReplacedLibrary()
{
    showCurrentSlotTile();
    updateSlotTileNames();
    showSelectedFolder();
    // An extraction rebuilds the books the user is working on: what they searched for stays searched.
    const bool keepSearch = m_extractionFlow && m_extractionFlow->isBusy();
    if (m_searchField && !keepSearch)
        m_searchField->clear();
    reloadTable(SelectionAfterReload::clear);
    refreshSearchResultCount();
    if (keepSearch)
        searchChanged();
}

// ---- The "Slots" menu

void MainWindowController::saveSlotNow()
{
    setStatus(m_session.saveSlotNow());
}

void MainWindowController::reloadSlotNow()
{
    setStatus(m_session.reloadCurrentSlot());
}

void MainWindowController::copySlotToAnother()
{
    const QString name = m_session.slotTileNames().value(int(m_session.currentSlotId()));
    const std::optional<QString> typed = LyrafoldFormAlert::askText(
        alertParent(), QStringLiteral("copySlotPrompt"), QStringLiteral("Copy %1 to another slot").arg(name),
        QStringLiteral("Enter destination slot number (0-5). The destination slot file will be replaced."),
        QStringLiteral("Copy"), 80);
    if (!typed)
        return;
    const std::optional<qint64> destination = SlotInput::parseSlotNumber(*typed);
    if (!destination)
        return;
    if (const std::optional<QString> status = m_session.copyCurrentSlotTo(*destination))
        setStatus(*status);
}

void MainWindowController::mergeSlotsIntoCurrent()
{
    if (!ensureCurrentSlotEditable(QStringLiteral("merge slots")))
        return;
    const QString name = m_session.slotTileNames().value(int(m_session.currentSlotId()));
    const std::optional<QString> typed = LyrafoldFormAlert::askText(
        alertParent(), QStringLiteral("mergeSlotsPrompt"), QStringLiteral("Merge slots into %1").arg(name),
        QStringLiteral("Enter source slots separated by commas (example: 1,2,3)."), QStringLiteral("Merge"),
        220);
    if (!typed)
        return;
    const QList<qint64> sources = SlotInput::parseSlotList(*typed);
    if (sources.isEmpty())
        return;
    if (const std::optional<QString> status = m_session.mergeSlotsIntoCurrent(sources))
        setStatus(*status);
}

void MainWindowController::clearCurrentSlot()
{
    if (const std::optional<QString> status = SlotClearing::clearCurrentSlot(alertParent(), m_session))
        setStatus(*status);
}

void MainWindowController::newExtraction()
{
    m_extractionFlow->newExtraction();
}

// ---- Extraction and imports

void MainWindowController::extractBookmarks()
{
    m_extractionFlow->extractBookmarks();
}

void MainWindowController::cancelExtraction()
{
    m_extractionFlow->cancel();
}

void MainWindowController::importImagesAndPDFsToLibrary()
{
    m_importFlow->importImagesAndPDFsToLibrary();
}

void MainWindowController::importImagesAndPDFs(const QStringList &paths,
                                               const std::optional<QString> &targetPlaylistName)
{
    m_importFlow->importImagesAndPDFs(paths, targetPlaylistName);
}

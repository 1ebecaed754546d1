#include "ui/import/ImagePdfImportDialogs.h"

#include "core/imports/ImportTitles.h"
#include "core/slotfiles/SlotStore.h"
#include "core/slots/LibrarySlots.h"
#include "core/text/TextUtils.h"
#include "pdf/import/ImagePdfImportService.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"
#include "ui/import/BookmarkedPdfRowsModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QString playlistSentence(const std::optional<QString> &playlist)
{
    return playlist ? QLatin1Char(' ') +
                          QStringLiteral("Imported titles will also be added to \"%1\".").arg(*playlist)
                    : QString();
}

QComboBox *slotPopup(const LibrarySlots &librarySlots)
{
    auto *popup = new QComboBox;
    popup->setObjectName(QStringLiteral("importSlotPopup"));
    const QStringList names = librarySlots.slotTileNames();
    for (int slot = 1; slot < LibrarySession::slotCount; ++slot)
        popup->addItem(names.value(slot, SlotStore::builtInSlotName(slot)), slot);
    popup->setCurrentIndex(
        int(librarySlots.session().currentSlotId() == 0 ? 0 : librarySlots.session().currentSlotId() - 1));
    return popup;
}

// The last row of both forms; the chosen folder stays in folder.
QWidget *folderRow(QWidget *parent, std::optional<QString> &folder)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto *button = new QPushButton(QStringLiteral("Choose final PDF folder..."));
    button->setObjectName(QStringLiteral("importFolderButton"));
    button->setAutoDefault(false);
    auto *label = new QLabel(QStringLiteral("Save in app PDF library"));
    label->setObjectName(QStringLiteral("importFolderLabel"));
    label->setMinimumWidth(100);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QObject::connect(button, &QPushButton::clicked, row, [parent, label, &folder] {
        const QString chosen = QFileDialog::getExistingDirectory(
            parent, QStringLiteral("Choose final PDF folder"), folder.value_or(QString()));
        if (chosen.isEmpty())
            return;
        folder = chosen;
        label->setText(label->fontMetrics().elidedText(chosen, Qt::ElideMiddle, label->width()));
        label->setToolTip(chosen);
    });
    layout->addWidget(button);
    layout->addWidget(label, 1);
    return row;
}

} // namespace

namespace ImagePdfImportDialogs {

std::optional<ImagePdfImportOptions>
promptImagePdfImportOptions(QWidget *parent, const LibrarySlots &librarySlots, const QStringList &paths,
                            const std::optional<QString> &targetPlaylistName,
                            const QStringList &userSlotBookNames)
{
    const bool several = paths.size() > 1;
    LyrafoldFormAlert alert(
        parent, QStringLiteral("imagePdfImportPrompt"), QStringLiteral("Import Images or PDFs"),
        QStringLiteral(
            "%1 file(s) selected. Images will be converted into PDF pages; PDFs will be imported as-is.")
                .arg(paths.size()) +
            playlistSentence(targetPlaylistName),
        {QStringLiteral("Import"), QStringLiteral("Cancel")});
    auto *form = new QWidget;
    form->setFixedWidth(540);
    auto *column = new QVBoxLayout(form);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    QComboBox *slotBox = slotPopup(librarySlots);
    column->addWidget(LyrafoldFormAlert::labeledRow(QStringLiteral("Destination slot:"), slotBox));
    auto *bookField = new QLineEdit;
    bookField->setObjectName(QStringLiteral("importBookNameField"));
    QComboBox *importAs = nullptr;
    if (several) {
        bookField->setText(ImportTitles::defaultCustomBookName(userSlotBookNames));
        column->addWidget(LyrafoldFormAlert::labeledRow(QStringLiteral("Custom book name:"), bookField));
        importAs = new QComboBox;
        importAs->setObjectName(QStringLiteral("importAsPopup"));
        importAs->addItems(
            {QStringLiteral("Create one custom book"), QStringLiteral("Keep as separate single files")});
        column->addWidget(LyrafoldFormAlert::labeledRow(QStringLiteral("Import as:"), importAs));
    } else {
        bookField->setText(QStringLiteral("Custom Single (Custom)"));
        bookField->setEnabled(false);
        column->addWidget(LyrafoldFormAlert::labeledRow(QStringLiteral("Book:"), bookField));
    }

    auto *titlesPanel = new QWidget;
    auto *titlesColumn = new QVBoxLayout(titlesPanel);
    titlesColumn->setSpacing(6);
    QList<QLineEdit *> titleFields;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        auto *field = new QLineEdit(ImagePdfImportService::title(paths.at(i)));
        field->setObjectName(QStringLiteral("importTitleField%1").arg(i));
        titleFields.append(field);
        const QString label =
            several ? QStringLiteral("Title %1:").arg(i + 1) : QStringLiteral("Title name:");
        titlesColumn->addWidget(
            LyrafoldFormAlert::labeledRow(label, field, QFileInfo(paths.at(i)).fileName()));
    }
    titlesColumn->addStretch(1);
    auto *scroller = new QScrollArea;
    scroller->setWidget(titlesPanel);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setFixedHeight(several ? 130 : 54 + 20);
    // Tab goes from field to field, and the list scrolls to the field it reaches.
    scroller->setFocusPolicy(Qt::NoFocus);
    column->addWidget(scroller);

    std::optional<QString> folder;
    column->addWidget(folderRow(&alert, folder));
    alert.setAccessory(form);
    // One file: its title ("Book:" is fixed); several: the name of the book they make.
    if (several || !titleFields.isEmpty())
        alert.setFirstField(several ? bookField : titleFields.first());

    QStringList titles;
    alert.setAcceptCheck([&] {
        titles.clear();
        for (QLineEdit *field : std::as_const(titleFields))
            titles.append(TextUtils::trimmed(field->text()));
        if (!titles.contains(QString()))
            return true;
        LyrafoldAlert::run(&alert, LyrafoldAlert::Style::warning, QStringLiteral("Missing title"),
                           QStringLiteral("Please enter a title for every imported file."));
        return false;
    });
    if (alert.run() != 0)
        return std::nullopt;

    ImagePdfImportOptions options;
    options.slotId = slotBox->currentData().toLongLong();
    options.pageTitles = titles;
    if (several && importAs->currentIndex() == 0) {
        options.bookName = ImagePdfImportService::customBookDisplayName(bookField->text());
        options.pdfFileName = options.bookName;
        options.importAsBook = true;
    } else {
        options.bookName = ImagePdfImportService::customSinglesBookName;
        options.importAsBook = false;
    }
    options.destinationDirectory = folder;
    return options;
}

std::optional<BookmarkedPdfImportOptions>
promptBookmarkedPdfImportOptions(QWidget *parent, const LibrarySlots &librarySlots, const QString &pdfPath,
                                 const BookmarkList &bookmarks,
                                 const std::optional<QString> &targetPlaylistName)
{
    LyrafoldFormAlert alert(
        parent, QStringLiteral("bookmarkedPdfImportPrompt"),
        QStringLiteral("Import PDF with existing bookmarks"),
        QStringLiteral("This PDF already contains %1 bookmarks. Keep them or clear titles and "
                       "rewrite them before importing.")
                .arg(bookmarks.size()) +
            playlistSentence(targetPlaylistName),
        {QStringLiteral("Import"), QStringLiteral("Cancel")});
    auto *form = new QWidget;
    form->setFixedSize(660, 460);
    auto *column = new QVBoxLayout(form);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    QComboBox *slotBox = slotPopup(librarySlots);
    column->addWidget(LyrafoldFormAlert::labeledRow(QStringLiteral("Destination slot:"), slotBox));

    const QString ownName = QFileInfo(pdfPath).completeBaseName();
    auto *nameRow = new QWidget;
    auto *nameLayout = new QHBoxLayout(nameRow);
    nameLayout->setContentsMargins(0, 0, 0, 0);
    nameLayout->setSpacing(8);
    auto *bookField = new QLineEdit(ownName);
    bookField->setObjectName(QStringLiteral("importBookNameField"));
    auto *labelAsCustom = new QCheckBox(QStringLiteral("Label book as custom"));
    labelAsCustom->setObjectName(QStringLiteral("labelAsCustomCheckBox"));
    nameLayout->addWidget(bookField, 1);
    nameLayout->addWidget(labelAsCustom);
    column->addWidget(LyrafoldFormAlert::labeledRow(QStringLiteral("Book name:"), nameRow));

    auto *titleMode = new QComboBox;
    titleMode->setObjectName(QStringLiteral("bookmarkTitlesPopup"));
    titleMode->addItems(
        {QStringLiteral("Keep embedded bookmark titles"), QStringLiteral("Clear titles and rewrite")});
    column->addWidget(LyrafoldFormAlert::labeledRow(QStringLiteral("Bookmarks:"), titleMode));
    auto *keepFile = new QCheckBox(QStringLiteral("Keep PDF where it is instead of copying"));
    keepFile->setObjectName(QStringLiteral("keepPdfCheckBox"));
    column->addWidget(LyrafoldFormAlert::labeledRow(QStringLiteral("PDF file:"), keepFile));

    auto *model = new BookmarkedPdfRowsModel(pdfPath, bookmarks, &alert);
    auto *table = new QTableView;
    table->setObjectName(QStringLiteral("bookmarkRowsTable"));
    table->setModel(model);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->setShowGrid(false);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(BookmarkedPdfRowsModel::thumbnailSize.height() + 6);
    table->setIconSize(BookmarkedPdfRowsModel::thumbnailSize);
    table->setColumnWidth(BookmarkedPdfRowsModel::thumbnailColumn,
                          BookmarkedPdfRowsModel::thumbnailSize.width() + 12);
    table->setColumnWidth(BookmarkedPdfRowsModel::pageColumn, 54);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->setMinimumHeight(210);
    column->addWidget(table, 1);

    std::optional<QString> folder;
    column->addWidget(folderRow(&alert, folder));
    alert.setAccessory(form);
    alert.setFirstField(bookField);

    alert.setAcceptCheck([&] {
        if (titleMode->currentIndex() != 1)
            return true;
        for (const QString &title : model->titles()) {
            if (TextUtils::trimmed(title).isEmpty()) {
                LyrafoldAlert::run(&alert, LyrafoldAlert::Style::warning, QStringLiteral("Missing title"),
                                   QStringLiteral("Please enter a title for every imported bookmark."));
                return false;
            }
        }
        return true;
    });
    if (alert.run() != 0)
        return std::nullopt;

    BookmarkedPdfImportOptions options;
    options.slotId = slotBox->currentData().toLongLong();
    QString name = TextUtils::trimmed(bookField->text());
    if (name.isEmpty())
        name = ownName;
    options.bookName = labelAsCustom->isChecked() ? ImagePdfImportService::customBookDisplayName(name) : name;
    const bool keepEmbedded = titleMode->currentIndex() == 0;
    options.bookmarks = bookmarks;
    for (qsizetype i = 0; i < options.bookmarks.size(); ++i) {
        const QString typed = TextUtils::trimmed(model->titles().at(i));
        if (!typed.isEmpty() || !keepEmbedded)
            options.bookmarks[i].title = typed;
    }
    options.destinationDirectory = folder;
    options.keepOriginalFile = keepFile->isChecked();
    return options;
}

} // namespace ImagePdfImportDialogs

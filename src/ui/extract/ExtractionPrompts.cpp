#include "ui/extract/ExtractionPrompts.h"

#include "core/slots/LibrarySlots.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"

#include <QCollator>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QVBoxLayout>

#include <algorithm>

namespace ExtractionPrompts {

std::optional<SlotChoice> promptSlotForExtraction(QWidget *parent, LibrarySlots &librarySlots,
                                                  bool replacesSlot)
{
    LyrafoldFormAlert alert(parent, QStringLiteral("extractionSlotPrompt"),
                            QStringLiteral("Choose slot for extraction"),
                            QStringLiteral("Save extracted bookmarks to slot (1-5):"),
                            {QStringLiteral("OK"), QStringLiteral("Cancel")});
    auto *accessory = new QWidget;
    accessory->setFixedWidth(280);
    auto *column = new QVBoxLayout(accessory);
    column->setContentsMargins(0, 0, 0, 0);
    auto *slotBox = new QComboBox;
    slotBox->setObjectName(QStringLiteral("extractionSlotPopup"));
    for (int slot = 1; slot < LibrarySession::slotCount; ++slot)
        slotBox->addItem(QStringLiteral("Slot %1").arg(slot), slot);
    slotBox->setCurrentIndex(int(std::clamp<qint64>(librarySlots.session().currentSlotId() - 1, 0, 4)));
    auto *note = new QLabel;
    note->setObjectName(QStringLiteral("extractionSlotNote"));
    note->setWordWrap(true);
    auto *name = new QLineEdit;
    name->setObjectName(QStringLiteral("extractionSlotNameField"));
    name->setPlaceholderText(QStringLiteral("Enter slot name"));
    column->addWidget(slotBox);
    column->addWidget(note);
    column->addWidget(new QLabel(QStringLiteral("Slot name:")));
    column->addWidget(name);
    alert.setAccessory(accessory);

    // The slot's bookmarks are named before the user commits to it. A count nobody stored yet comes
    // from a worker, for the slot still chosen when it arrives.
    const auto describe = [&] {
        const qint64 slot = slotBox->currentData().toLongLong();
        note->clear();
        note->hide();
        librarySlots.withSlotCount(slot, &alert, [slotBox, note, slot, replacesSlot](qsizetype count) {
            if (count <= 0 || slotBox->currentData().toLongLong() != slot)
                return;
            QString text = QStringLiteral("Slot %1 holds %2 bookmark(s).")
                               .arg(QString::number(slot), QString::number(count));
            if (replacesSlot)
                text += QLatin1Char(' ') + QStringLiteral("A full extraction replaces them.");
            note->setText(text);
            note->show();
        });
    };
    QObject::connect(slotBox, &QComboBox::currentIndexChanged, &alert, describe);
    describe();
    name->setFocus();
    if (alert.run() != 0)
        return std::nullopt;
    SlotChoice choice;
    choice.slot = slotBox->currentData().toLongLong();
    choice.slotName = name->text().isEmpty() ? QStringLiteral("Slot %1").arg(choice.slot) : name->text();
    return choice;
}

Start promptExtractStart(QWidget *parent)
{
    switch (LyrafoldAlert::run(
        parent, LyrafoldAlert::Style::informational, QStringLiteral("Extract Bookmarks"),
        QStringLiteral("Choose a new folder and extract, or re-extract the current folder."),
        {QStringLiteral("New extraction"), QStringLiteral("Re-extract folder"), QStringLiteral("Cancel")})) {
    case 0:
        return Start::newExtraction;
    case 1:
        return Start::reextractFolder;
    default:
        return Start::cancel;
    }
}

std::optional<QStringList> promptExtractAllOrChooseBooks(QWidget *parent, const QStringList &pdfs)
{
    const int answer =
        LyrafoldAlert::run(parent, LyrafoldAlert::Style::informational, QStringLiteral("Extract Bookmarks"),
                           QStringLiteral("Scan the whole folder or choose only books you changed."),
                           {QStringLiteral("Extract all PDFs (%1)").arg(pdfs.size()),
                            QStringLiteral("Choose which books to extract"), QStringLiteral("Cancel")});
    if (answer == 0)
        return pdfs;
    if (answer == 1)
        return promptChooseBooksFromList(parent, pdfs);
    return std::nullopt;
}

std::optional<QStringList> promptChooseBooksFromList(QWidget *parent, const QStringList &pdfs)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QStringList sorted = pdfs;
    std::stable_sort(sorted.begin(), sorted.end(), [&](const QString &a, const QString &b) {
        return collator.compare(QFileInfo(a).fileName(), QFileInfo(b).fileName()) < 0;
    });

    LyrafoldFormAlert alert(parent, QStringLiteral("chooseBooksPrompt"),
                            QStringLiteral("Choose books to extract"),
                            QStringLiteral("Select one or more books from the list."),
                            {QStringLiteral("Extract selected"), QStringLiteral("Cancel")});
    auto *list = new QListWidget;
    list->setObjectName(QStringLiteral("bookChooserList"));
    list->setFixedSize(420, 320);
    list->setUniformItemSizes(true);
    for (const QString &path : std::as_const(sorted)) {
        auto *item = new QListWidgetItem(QFileInfo(path).fileName(), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(Qt::UserRole, path);
    }
    alert.setAccessory(list);
    // Space ticks the book under the cursor, Return extracts the books ticked.
    list->setFocus();
    if (alert.run() != 0)
        return std::nullopt;
    // The ticked books in the order the list shows them.
    QStringList chosen;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked)
            chosen.append(list->item(i)->data(Qt::UserRole).toString());
    }
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace ExtractionPrompts

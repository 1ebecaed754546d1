#include "ui/share/PlaylistShareOptionsDialog.h"

#include "ui/common/LyrafoldAlert.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace {

struct Choice {
    const char *objectName;
    const char *text;
    bool PlaylistShareOptions::*field;
};

constexpr std::array<Choice, 8> choices{{
    {"shareExportPdf", "PDF", &PlaylistShareOptions::exportPDF},
    {"shareExportJpeg", "Image (JPEG)", &PlaylistShareOptions::exportJPEG},
    {"shareExportTxt", "Text (TXT)", &PlaylistShareOptions::exportTXT},
    {"shareExportHtml", "HTML", &PlaylistShareOptions::exportHTML},
    {"shareExportLyf", "Lyrafold playlist (.lyf)", &PlaylistShareOptions::exportLYF},
    {"shareLinksInPdf", "Include Spotify/YouTube links on PDF title pages",
     &PlaylistShareOptions::includeLinksInPDF},
    {"shareLinksInText", "Include Spotify/YouTube links in TXT/HTML",
     &PlaylistShareOptions::includeLinksInText},
    {"shareBookAndPages", "Include book names and page numbers in TXT/HTML",
     &PlaylistShareOptions::includeBookAndPages},
}};

QLabel *messageLabel(const QString &text, bool bold)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

} // namespace

namespace PlaylistShareOptionsDialog {

std::optional<PlaylistShareOptions> run(QWidget *parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("playlistShareOptionsDialog"));
    dialog.setWindowTitle(QStringLiteral("Share Playlist"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->addWidget(messageLabel(QStringLiteral("Share Playlist"), true));
    layout->addWidget(messageLabel(QStringLiteral("Select export formats and destination."), false));
    layout->addSpacing(6);

    auto *accessory = new QWidget;
    accessory->setMinimumWidth(380);
    auto *stack = new QVBoxLayout(accessory);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    const PlaylistShareOptions initial;
    std::array<QCheckBox *, choices.size()> boxes{};
    for (std::size_t i = 0; i < choices.size(); ++i) {
        boxes[i] = new QCheckBox(QString::fromUtf8(choices[i].text));
        boxes[i]->setObjectName(QLatin1String(choices[i].objectName));
        boxes[i]->setChecked(initial.*choices[i].field);
        stack->addWidget(boxes[i], 0, Qt::AlignLeft);
    }
    stack->addSpacing(4);
    stack->addWidget(messageLabel(QStringLiteral("Share destination:"), false), 0, Qt::AlignLeft);
    auto *destination = new QComboBox;
    destination->setObjectName(QStringLiteral("shareDestinationPopup"));
    destination->addItems({QStringLiteral("Local"), QStringLiteral("Other")});
    destination->setCurrentIndex(1);
    stack->addWidget(destination, 0, Qt::AlignLeft);
    layout->addWidget(accessory);

    auto *buttons = new QDialogButtonBox;
    QPushButton *proceed = buttons->addButton(QStringLiteral("Continue"), QDialogButtonBox::AcceptRole);
    proceed->setObjectName(QStringLiteral("shareContinueButton"));
    proceed->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    dialog.setFixedSize(dialog.sizeHint());

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    PlaylistShareOptions options;
    for (std::size_t i = 0; i < choices.size(); ++i)
        options.*choices[i].field = boxes[i]->isChecked();
    options.destination =
        destination->currentIndex() == 0 ? PlaylistShareDestination::local : PlaylistShareDestination::other;
    if (!options.anyFormat()) {
        LyrafoldAlert::run(parent, LyrafoldAlert::Style::warning, QStringLiteral("No file type selected"),
                           QStringLiteral("Select at least one format."));
        return std::nullopt;
    }
    return options;
}

} // namespace PlaylistShareOptionsDialog

#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>

#include <functional>

// For ModalAnswer: the share options asked for the playlist bundle (.lyf) alone, saved to a local
// folder, and the folder panel that follows answered with folder.
inline std::function<void(QDialog *)> shareBundleInto(const QString &folder)
{
    return [folder](QDialog *dialog) {
        if (auto *panel = qobject_cast<QFileDialog *>(dialog)) {
            panel->setDirectory(folder);
            static_cast<QDialog *>(panel)->accept();
            return;
        }
        dialog->findChild<QCheckBox *>(QStringLiteral("shareExportPdf"))->click();
        dialog->findChild<QCheckBox *>(QStringLiteral("shareExportLyf"))->click();
        dialog->findChild<QComboBox *>(QStringLiteral("shareDestinationPopup"))->setCurrentIndex(0);
        dialog->findChild<QPushButton *>(QStringLiteral("shareContinueButton"))->click();
    };
}

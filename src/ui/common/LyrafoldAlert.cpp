#include "ui/common/LyrafoldAlert.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace LyrafoldAlert {

int run(QWidget *parent, Style style, const QString &message, const QString &informativeText,
        const QStringList &buttons)
{
    QMessageBox box(parent);
    box.setIcon(style == Style::warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setText(message);
    box.setInformativeText(informativeText);
    QList<QAbstractButton *> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        // The last of several buttons is the way out, as Escape is.
        const bool escape = buttons.size() > 1 && i == buttons.size() - 1;
        QPushButton *button =
            box.addButton(buttons.at(i), escape ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (i == 0)
            box.setDefaultButton(button);
        if (escape)
            box.setEscapeButton(button);
        added.append(button);
    }
    box.exec();
    return int(added.indexOf(box.clickedButton()));
}

QVBoxLayout *alertColumn(QDialog &dialog, const QString &message, const QString &informativeText)
{
    dialog.setWindowTitle(message);
    auto *layout = new QVBoxLayout(&dialog);
    auto *title = new QLabel(message, &dialog);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    layout->addWidget(new QLabel(informativeText, &dialog));
    return layout;
}

std::optional<QString> askText(QWidget *parent, const QString &message, const QString &informativeText,
                               int fieldWidth, const QString &accept, const QString &cancel)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("textPromptDialog"));
    QVBoxLayout *layout = alertColumn(dialog, message, informativeText);
    auto *field = new QLineEdit(&dialog);
    field->setObjectName(QStringLiteral("textPromptField"));
    field->setFixedSize(fieldWidth, 24);
    layout->addWidget(field);
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *ok = buttons->addButton(accept, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return field->text();
}

} // namespace LyrafoldAlert

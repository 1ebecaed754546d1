#include "ui/common/AccessTokenDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace AccessTokenDialog {

Outcome run(QWidget *parent, const Texts &texts, const QString &storedToken)
{
    QDialog dialog(parent);
    dialog.setObjectName(texts.name + QStringLiteral("Dialog"));
    dialog.setWindowTitle(texts.message);
    auto *layout = new QVBoxLayout(&dialog);
    auto *message = new QLabel(texts.message);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    auto *informative = new QLabel(texts.informativeText);
    informative->setWordWrap(true);
    auto *field = new QLineEdit(storedToken);
    field->setObjectName(texts.name + QStringLiteral("Field"));
    field->setFixedSize(280, 24);
    auto *buttons = new QDialogButtonBox;
    QPushButton *save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    QPushButton *clear = buttons->addButton(QStringLiteral("Clear"), QDialogButtonBox::DestructiveRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    save->setDefault(true);
    Outcome outcome;
    const auto answerWith = [&](Answer answer) {
        outcome.answer = answer;
        dialog.accept();
    };
    QObject::connect(save, &QPushButton::clicked, &dialog, [&] { answerWith(Answer::save); });
    QObject::connect(clear, &QPushButton::clicked, &dialog, [&] { answerWith(Answer::clear); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(message);
    layout->addWidget(informative);
    layout->addWidget(field);
    layout->addWidget(buttons);
    dialog.exec();
    outcome.typedToken = field->text();
    return outcome;
}

} // namespace AccessTokenDialog

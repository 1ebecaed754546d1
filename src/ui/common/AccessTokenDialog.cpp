#include "ui/common/AccessTokenDialog.h"

#include "ui/common/LyrafoldFormAlert.h"

#include <QLineEdit>

namespace AccessTokenDialog {

Outcome run(QWidget *parent, const Texts &texts, const QString &storedToken)
{
    LyrafoldFormAlert alert(parent, texts.name + QStringLiteral("Dialog"), texts.message,
                            texts.informativeText,
                            {QStringLiteral("Save"), QStringLiteral("Clear"), QStringLiteral("Cancel")});
    auto *field = new QLineEdit(storedToken);
    field->setObjectName(texts.name + QStringLiteral("Field"));
    field->setFixedWidth(280);
    alert.setAccessory(field);
    field->setFocus();
    const int pressed = alert.run();
    return {pressed == 0 ? Answer::save : pressed == 1 ? Answer::clear : Answer::cancel, field->text()};
}

} // namespace AccessTokenDialog

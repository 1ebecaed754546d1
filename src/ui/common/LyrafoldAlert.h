#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QVBoxLayout;
class QWidget;

// The windows' modal alerts: a message, an informative text and buttons, the first of which is the
// default. Main thread only.
namespace LyrafoldAlert {

enum class Style { informational, warning };

// Runs the alert and returns the index of the button pressed (0 for the first); -1 when it was closed
// another way.
int run(QWidget *parent, Style style, const QString &message, const QString &informativeText = {},
        const QStringList &buttons = {QStringLiteral("OK")});

// A dialog laid out as an alert: titled with the message, which leads in bold above the informative
// text, in a column the caller goes on filling.
QVBoxLayout *alertColumn(QDialog &dialog, const QString &message, const QString &informativeText);

// An alert with an empty text field of fieldWidth (a dialog named "textPromptDialog", its field
// "textPromptField"): the text typed when the first of the two buttons ended it, nothing otherwise.
std::optional<QString> askText(QWidget *parent, const QString &message, const QString &informativeText,
                               int fieldWidth, const QString &accept, const QString &cancel);

} // namespace LyrafoldAlert

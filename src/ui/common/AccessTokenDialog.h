#pragma once

#include <QString>

class QWidget;

// The modal dialog in which the user enters the access token of a web service: a message, where to get
// a token, the field filled with the stored token, and Save, Clear and Cancel, in the interface
// language.
namespace AccessTokenDialog {

enum class Answer { save, clear, cancel };

struct Texts {
    QString message;
    QString informativeText;
    // The dialog's object name is this with "Dialog" appended, its field's with "Field".
    QString name;
};

struct Outcome {
    Answer answer = Answer::cancel;
    QString typedToken;
};

Outcome run(QWidget *parent, const Texts &texts, const QString &storedToken);

} // namespace AccessTokenDialog

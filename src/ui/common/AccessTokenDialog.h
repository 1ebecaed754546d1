#pragma once

#include <QString>

class QWidget;

// The modal dialog in which the user enters the access token of a web service: a message, where to get
// a token, the field filled with the stored token, and Save, Clear and Cancel. English in every
// interface language, as the service's own pages are.
namespace AccessTokenDialog {

enum class Answer { save, clear, cancel };

struct Texts {
    QString message;
    QString informativeText;
    // Of the dialog; its field is named with "Field" appended.
    QString objectName;
};

struct Outcome {
    Answer answer = Answer::cancel;
    QString typedToken;
};

Outcome run(QWidget *parent, const Texts &texts, const QString &storedToken);

} // namespace AccessTokenDialog

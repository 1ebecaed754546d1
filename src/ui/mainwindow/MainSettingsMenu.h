#pragma once

#include "ui/common/AccessTokenDialog.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QAbstractButton;
class QAction;
class QMenu;
class QWidget;

// The main window's gear menu: the interface language, the microphone that song recognition listens
// to, and the Discogs and AudD tokens. Everything it stores goes to the settings; what it reports for the
// status line comes through statusChanged().
class MainSettingsMenu : public QObject {
    Q_OBJECT

public:
    struct InputMicrophone {
        QString uniqueId;
        QString localizedName;
    };

    // window: the parent of the menu and of the token dialog.
    explicit MainSettingsMenu(QWidget *window);

    static QList<InputMicrophone> availableInputMicrophones();
    // Pops the menu up at the sender, built anew each time so that its check marks show the stored
    // settings; it deletes itself once closed.
    void showMainSettingsMenu(QAbstractButton *sender);
    void promptDiscogsToken();
    void promptRecognitionToken();

    // The microphones the menu lists instead of the system's, which a test machine may lack.
    void setMicrophonesForTesting(const QList<InputMicrophone> &devices)
    {
        m_microphonesForTesting = devices;
    }

Q_SIGNALS:
    void statusChanged(const QString &text);

private:
    using TokenAnswer = AccessTokenDialog::Answer;
    QMenu *makeMainSettingsMenu(const QList<InputMicrophone> &devices);
    void setLanguageFromMenu(QAction *item);
    void setListenMicrophoneFromMenu(QAction *item);
    void applyDiscogsTokenAnswer(TokenAnswer answer, const QString &typedToken);
    void applyRecognitionTokenAnswer(TokenAnswer answer, const QString &typedToken);

    QWidget *m_window;
    std::optional<QList<InputMicrophone>> m_microphonesForTesting;
};

#pragma once

#include "ui/common/AccessTokenDialog.h"

#include <QList>
#include <QObject>
#include <QString>

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
    // Built anew each time, so its check marks show the stored settings; the caller owns it.
    QMenu *makeMainSettingsMenu(const QList<InputMicrophone> &devices);
    void showMainSettingsMenu(QAbstractButton *sender);
    void setLanguageFromMenu(QAction *item);
    void setListenMicrophoneFromMenu(QAction *item);

    using TokenAnswer = AccessTokenDialog::Answer;
    void promptDiscogsToken();
    void applyDiscogsTokenAnswer(TokenAnswer answer, const QString &typedToken);
    void promptRecognitionToken();
    void applyRecognitionTokenAnswer(TokenAnswer answer, const QString &typedToken);

Q_SIGNALS:
    void statusChanged(const QString &text);

private:
    QWidget *m_window;
};

#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// The application-wide notification channel between windows. Each notification has a signal of its
// own; post() routes a notification given by name, so callers that only know the name can use it.
class NotificationBus : public QObject {
    Q_OBJECT

public:
    static inline const QString openLyfFileName = QStringLiteral("LyrafoldOpenLyfFile");
    static inline const QString addToPlaylistModeName = QStringLiteral("LyrafoldAddToPlaylistMode");
    static inline const QString finishedAddToPlaylistModeName =
        QStringLiteral("LyrafoldFinishedAddToPlaylistMode");
    static inline const QString languageChangedName = QStringLiteral("lyrafoldLanguageChanged");

    // User-info keys.
    static inline const QString urlKey = QStringLiteral("url");
    static inline const QString playlistNameKey = QStringLiteral("playlistName");

    static NotificationBus &instance();

    // Emits the signal of the named notification; returns false for a name the bus does not know.
    bool post(const QString &name, const QVariantMap &userInfo = {});

Q_SIGNALS:
    void openLyfFile(const QVariantMap &userInfo);
    void addToPlaylistMode(const QVariantMap &userInfo);
    void finishedAddToPlaylistMode(const QVariantMap &userInfo);
    void languageChanged();

    // A state file that could not be decoded was renamed to asidePath so that the next save does not
    // destroy it. The main window tells the user.
    void stateFileSetAside(const QString &path, const QString &asidePath);
    // Another program wrote into a version of a state file that a save had just swapped out, and its
    // version could not be taken in: it is kept beside the file as keptPath.
    void stateFileOtherVersionKept(const QString &path, const QString &keptPath);
    // A state file could not be written, for the first time since it was last written (told from the
    // writing thread): what the user changes now is lost at quit unless a later write succeeds.
    void stateFileSaveFailed(const QString &path, const QString &reason);
    // The application is about to end (Quit, its last window closed, a request of the system): what a
    // window holds that the library lacks yet (a cell's field being typed into) is given to it now,
    // before the last saves are written.
    void quitting();
    // The user took back the quit (Cancel where it told what it could not save): the program goes on.
    void quitCancelled();

private:
    NotificationBus() = default;
};

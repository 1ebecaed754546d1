#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

class AppContext;
class QAction;
class QMainWindow;
class QMenuBar;
class QuitSequence;
class QuitSignals;
class QWidget;

// The application's delegate: makes the application context (the shared owners of the library and the
// playlists, handed to every window), gives the process its menu, creates and shows the main library window,
// brings that window back when the program is launched again, re-applies the button effects whenever
// the application becomes active, routes playlist files handed over by the desktop to the main
// window, and ends the program as Quit does when the system asks it to end (QuitSignals). One instance
// lives as long as the process.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    using MainWindowFactory = std::function<std::unique_ptr<QMainWindow>()>;
    using ButtonEffectsInstaller = std::function<void(QWidget *window)>;

    // Without a factory the delegate makes the main library window itself.
    explicit AppDelegate(MainWindowFactory createMainWindow = {}, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The button effects service (LyrafoldButtonEffects::install) is wired in here; until it is, windows
    // keep their plain look.
    void setButtonEffectsInstaller(ButtonEffectsInstaller installer);

    // How long after it was shown the main window settles (0.1 s, for the window manager); tests that
    // only wait for the launch to end shorten it. The application never calls this.
    void setSettleDelayForTesting(std::chrono::milliseconds delay) { m_settleDelay = delay; }

    // The launch, run once from the event loop: the menu, the files the program was started with (bare
    // names from the working folder), then the main window. Playlist files wait for the window.
    void launch(const QStringList &paths);

    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }

    // A later launch of the program handed over its files (absolute paths): the main window comes to
    // the front and the playlist files among them are opened.
    void handleLaunchedAgain(const QStringList &paths);

    // The shared owners the windows are given, for tests that change the library under a launched
    // application.
    AppContext &contextForTesting() const { return *m_context; }
    QAction *quitAction() const { return m_quitAction; }

Q_SIGNALS:
    // 0.1 s after it was shown (see setSettleDelayForTesting()), the main window has been centred
    // again and equipped.
    void mainWindowSettled();

private:
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    // Every window gets the button effects again (the application state became active).
    void applicationDidBecomeActive();
    // Playlist files handed over; anything else is refused.
    void openUrls(const QList<QUrl> &urls);

    void buildMainMenu();
    void showMainWindow();
    void bringMainWindowForward();
    void flushPendingLyfImports();
    void installButtonEffects(QWidget *window);

    // Made first and destroyed last: every window holds on to it.
    std::unique_ptr<AppContext> m_context;
    MainWindowFactory m_createMainWindow;
    ButtonEffectsInstaller m_installButtonEffects;
    std::unique_ptr<QMainWindow> m_mainWindow;
    // Playlist files that arrived before the main window existed.
    QList<QUrl> m_pendingLyfUrls;
    // Built before the main window exists; the window takes it over.
    std::unique_ptr<QMenuBar> m_mainMenu;
    QAction *m_quitAction = nullptr;
    QuitSequence *m_quit = nullptr;
    QuitSignals *m_quitSignals = nullptr;
    std::chrono::milliseconds m_settleDelay{100};
};

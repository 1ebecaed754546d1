#include "ui/app/AppDelegate.h"

#include "core/common/LaunchLog.h"
#include "core/common/NotificationBus.h"
#include "platform/desktop/QuitSignals.h"
#include "ui/app/AppContext.h"
#include "ui/app/QuitSequence.h"
#include "ui/common/WindowPlacement.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/services/LyrafoldLanguageService.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int mainWindowWidth = 1380;
constexpr int mainWindowHeight = 640;

bool isPlaylistFile(const QUrl &url)
{
    return QFileInfo(url.path()).suffix().toLower() == QLatin1String("lyf");
}

int subviewCount(const QMainWindow *window)
{
    const QWidget *content = window->centralWidget();
    return content ? int(content->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size()) : 0;
}

QString visibility(const QWidget *window)
{
    return window->isVisible() ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

AppDelegate::AppDelegate(MainWindowFactory createMainWindow, QObject *parent)
    : QObject(parent), m_context(std::make_unique<AppContext>()),
      m_createMainWindow(std::move(createMainWindow))
{
    // The main library window takes over the menu bar before it adds its own menus to it.
    if (!m_createMainWindow)
        m_createMainWindow = [this] {
            return std::make_unique<MainWindowController>(*m_context, m_mainMenu.release());
        };
    // The last window closed ends the program as Quit does, through the quit sequence: the saves are
    // written, and a failed one is told, before the event loop ends.
    m_quit = new QuitSequence([this] { return static_cast<QWidget *>(m_mainWindow.get()); }, this);
    QApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QGuiApplication::lastWindowClosed, this, [this] {
        if (applicationShouldTerminateAfterLastWindowClosed() && !m_quit->running())
            m_quit->request(QuitSequence::Asker::user);
    });
    // The system's requests to end (a shutdown, the session's end, a closed terminal) take Quit's way
    // but ask nothing: the windows end what they hold before the program does, and the saves are
    // written. Once the event loop has ended, the signals do again what they did before.
    m_quitSignals = new QuitSignals(this);
    connect(m_quitSignals, &QuitSignals::quitRequested, this,
            [this] { m_quit->request(QuitSequence::Asker::system); });
    connect(qApp, &QCoreApplication::aboutToQuit, this,
            [this] { delete std::exchange(m_quitSignals, nullptr); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationDidBecomeActive();
    });
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::setButtonEffectsInstaller(ButtonEffectsInstaller installer)
{
    m_installButtonEffects = std::move(installer);
}

void AppDelegate::launch(const QStringList &paths)
{
    applicationWillFinishLaunching();
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    openUrls(urls);
    applicationDidFinishLaunching();
}

void AppDelegate::applicationWillFinishLaunching()
{
    logLaunch(QStringLiteral("2 applicationWillFinishLaunching"));
    // Qt's own dialogs and buttons in the interface language from the first window on.
    LyrafoldLanguageService::loadQtTranslations();
    buildMainMenu();
    logLaunch(QStringLiteral("3 after buildMainMenu"));
}

void AppDelegate::buildMainMenu()
{
    m_mainMenu = std::make_unique<QMenuBar>();
    // The desktop gives the program no menu of its own, so the one menu carries the program's name.
    QMenu *appMenu = m_mainMenu->addMenu(QStringLiteral("Lyrafold"));
    m_quitAction = new QAction(QStringLiteral("Quit Lyrafold"), this);
    m_quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Quit answers in every window, as a menu shared by the whole application would.
    m_quitAction->setShortcutContext(Qt::ApplicationShortcut);
    m_quitAction->setMenuRole(QAction::QuitRole);
    connect(
        m_quitAction, &QAction::triggered, this, [this] { m_quit->request(QuitSequence::Asker::user); },
        Qt::QueuedConnection);
    appMenu->addAction(m_quitAction);
}

void AppDelegate::applicationDidFinishLaunching()
{
    logLaunch(QStringLiteral("4 applicationDidFinishLaunching"));
    showMainWindow();
}

void AppDelegate::showMainWindow()
{
    m_mainWindow = m_createMainWindow();
    logLaunch(QStringLiteral("5 MainWindowController created"));
    QMainWindow *window = m_mainWindow.get();
    if (!window) {
        logLaunch(QStringLiteral("5b guard failed - no window"));
        return;
    }
    logLaunch(QStringLiteral("6 got mainWin"));

    // Kept when closed, so that a later launch shows the same window again.
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (m_mainMenu)
        window->setMenuBar(m_mainMenu.release());
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QPointF middle = QRectF(screen->availableGeometry()).center();
        window->setGeometry(qRound(middle.x() - mainWindowWidth / 2.0),
                            qRound(middle.y() - mainWindowHeight / 2.0), mainWindowWidth, mainWindowHeight);
    }
    logLaunch(QStringLiteral("7 about to show window"));
    window->show();
    window->raise();
    window->activateWindow();
    logLaunch(QStringLiteral("8 window shown, subviews: %1, isVisible: %2")
                  .arg(subviewCount(window))
                  .arg(visibility(window)));

    // Window managers may still move a window they have just mapped; centre it again once it settled.
    QTimer::singleShot(m_settleDelay, this, [this, weakWindow = QPointer<QMainWindow>(window)] {
        if (!weakWindow)
            return;
        WindowPlacement::centreOnScreen(weakWindow);
        logLaunch(QStringLiteral("9 delayed orderFront done, isVisible: %1").arg(visibility(weakWindow)));
        installButtonEffects(weakWindow);
        Q_EMIT mainWindowSettled();
    });
    flushPendingLyfImports();
}

void AppDelegate::handleLaunchedAgain(const QStringList &paths)
{
    bringMainWindowForward();
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    openUrls(urls);
}

void AppDelegate::bringMainWindowForward()
{
    QMainWindow *window = m_mainWindow.get();
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void AppDelegate::applicationDidBecomeActive()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if ((type == Qt::Window || type == Qt::Dialog) && !qobject_cast<QMenuBar *>(widget))
            installButtonEffects(widget);
    }
}

void AppDelegate::installButtonEffects(QWidget *window)
{
    if (m_installButtonEffects)
        m_installButtonEffects(window);
}

void AppDelegate::openUrls(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls) {
        if (!isPlaylistFile(url))
            continue;
        m_pendingLyfUrls.append(url);
        flushPendingLyfImports();
    }
}

void AppDelegate::flushPendingLyfImports()
{
    if (!m_mainWindow)
        return;
    // Emptied first: importing a file may hand over another one, which must not be delivered twice.
    const QList<QUrl> urls = std::exchange(m_pendingLyfUrls, {});
    for (const QUrl &url : urls)
        NotificationBus::instance().post(NotificationBus::openLyfFileName, {{NotificationBus::urlKey, url}});
}

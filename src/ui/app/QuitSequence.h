#pragma once

#include "core/storage/StateFile.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <functional>

class QWidget;

// How the application ends. The windows give the library what they hold (a field being typed into),
// every save that failed before is tried again, every save still under way is written while the event
// loop runs (the windows hidden meanwhile), and every file guard is left at rest (another program's
// version taken and written over, a missing or half-written file given its stable delay and written
// anew), and only then does the event loop end. A state file that could not be written is told before
// anything is lost: when the user asked (Quit, the last window closed), the main window comes back with
// the failures above it and the choice between staying, the changes still there, and quitting without
// them; when the system asked (SIGTERM, SIGHUP, SIGINT) nothing is asked, the failures go to standard
// error and the launch log, and the program ends with status 1. A second request while the writes are
// awaited, or while a failure is told, ends the process at once.
class QuitSequence : public QObject {
    Q_OBJECT

public:
    enum class Asker { user, system };

    // mainWindow: the window that comes back to tell a failed write (null once there is none).
    explicit QuitSequence(std::function<QWidget *()> mainWindow, QObject *parent = nullptr);
    ~QuitSequence() override;

    void request(Asker asker);
    // A quit is under way: its writes are awaited or its failure told.
    bool running() const { return m_stage != Stage::idle; }

private:
    enum class Stage { idle, writing, telling };

    void awaitWrites();
    void writesDone();
    void tellUser(const QList<StateFile::FailedWrite> &failures);
    void showHiddenWindows();

    std::function<QWidget *()> m_mainWindow;
    Stage m_stage = Stage::idle;
    Asker m_asker = Asker::user;
    QList<QPointer<QWidget>> m_hidden;
    // Waits for the writes, beside whatever keeps the shared pool busy.
    QThreadPool m_waiter;
};

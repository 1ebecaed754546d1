#pragma once

#include <QObject>

#include <chrono>

class QWidget;
class SongRecognizer;
class StatusSink;
struct SongRecognitionResult;

// Song recognition through the microphone, started by the Listen tile: the first run asks the user to
// agree that the recording leaves the computer, then the recording is identified and the result told.
// One run at a time. The window that starts the flow is its parent, and its status sink hears every
// step.
class ListenFlow : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds captureTime{8000};

    ListenFlow(StatusSink &sink, QWidget *window);

    // The recognizer the runs use, which becomes the flow's; without one the flow makes its own (the
    // microphone and the AudD service) on the first run.
    void setSongRecognizer(SongRecognizer *recognizer);

    void start();
    void showResult(const SongRecognitionResult &result);

Q_SIGNALS:
    // From the start of a run until its result is shown.
    void runningChanged(bool running);
    // The title of the song heard, to search the library for.
    void songIdentified(const QString &title);
    // The service wants an access token: the user asked to enter one.
    void tokenRequested();

private:
    bool confirmAudioUpload();

    StatusSink &m_sink;
    SongRecognizer *m_recognizer = nullptr;
};

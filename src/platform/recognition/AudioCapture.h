#pragma once

#include "platform/recognition/AudioClip.h"

#include <QObject>
#include <QString>

// Why a recording did not start or did not last.
struct CaptureFailure {
    enum class Kind {
        noInput,          // no input device at all, or one that offers no usable format
        deviceNotPresent, // the chosen device is not among the inputs
        deviceUnusable,   // the chosen device refused to open
        startFailed,      // the recording would not start
        readFailed,       // the device failed while recording
    };

    Kind kind = Kind::startFailed;
    // For deviceUnusable: the name of the device's error.
    QString detail;

    bool operator==(const CaptureFailure &) const = default;
};

// Records one clip at a time from a microphone. Calls come from the thread the capture lives in, and
// its signals arrive there, never inside a call; the recording itself may run on another thread.
class AudioCapture : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts recording from the input whose id is deviceId, or from the system's default input when
    // deviceId is blank. started() or failed() follows.
    virtual void start(const QString &deviceId) = 0;
    // Ends the recording: captured() follows with the clip, unless the recording failed first.
    virtual void stop() = 0;
    // Ends the recording and drops it; no signal of it follows.
    virtual void abort() = 0;

Q_SIGNALS:
    void started();
    // At the start or during the recording; nothing more of that recording follows.
    void failed(const CaptureFailure &failure);
    void captured(const AudioClip &clip);
};

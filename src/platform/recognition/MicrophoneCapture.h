#pragma once

#include "platform/recognition/AudioCapture.h"

#include <QAudio>
#include <QAudioFormat>
#include <QList>
#include <QThread>

#include <optional>

class QAudioDevice;
class MicrophoneCaptureWorker;

// Records from a microphone through Qt Multimedia. The device is chosen and asked for its format on
// the caller's thread; the recording runs on a thread of its own, so a busy window loses no audio.
class MicrophoneCapture : public AudioCapture {
    Q_OBJECT

public:
    // What an input device offers, as far as the choice of format needs it.
    struct InputCapabilities {
        QAudioFormat preferred;
        int minimumSampleRate = 0;
        int maximumSampleRate = 0;
        int minimumChannelCount = 0;
        int maximumChannelCount = 0;
        QList<QAudioFormat::SampleFormat> sampleFormats;

        static InputCapabilities of(const QAudioDevice &device);
    };

    explicit MicrophoneCapture(QObject *parent = nullptr);
    ~MicrophoneCapture() override;

    void start(const QString &deviceId) override;
    void stop() override;
    void abort() override;

    // The format a capture records in from the device, for the tests of the choice.
    static std::optional<QAudioFormat> captureFormatForTesting(const InputCapabilities &device)
    {
        return captureFormat(device);
    }
    // Why a recording that the device refused to start failed; deviceChosen tells the user's choice
    // from the system's default input.
    static CaptureFailure startFailure(QAudio::Error error, bool deviceChosen);

private:
    // The format to record in: mono 16-bit at 44.1 kHz as far as the device offers it, the nearest
    // otherwise; nothing when the device offers no usable format.
    static std::optional<QAudioFormat> captureFormat(const InputCapabilities &device);

    friend class MicrophoneCaptureWorker;

    void fail(quint64 recording, const CaptureFailure &failure);
    void recordingStarted(quint64 recording);
    void recordingFailed(quint64 recording, const CaptureFailure &failure);
    void recordingCaptured(quint64 recording, const AudioClip &clip);
    bool isCurrent(quint64 recording) const { return m_active && recording == m_recording; }

    QThread m_thread;
    MicrophoneCaptureWorker *m_worker = nullptr;
    // Each recording has its own number, so that what a dropped recording still reports is ignored.
    quint64 m_recording = 0;
    bool m_active = false;
};

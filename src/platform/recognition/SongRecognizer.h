#pragma once

#include "core/common/SteadyClock.h"
#include "platform/recognition/AudioCapture.h"
#include "platform/recognition/ClipMatcher.h"
#include "platform/recognition/SongRecognitionResult.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// Identifies the song playing near the microphone: records a clip for the capture time, counted from
// the moment the recording has started, then asks the matcher what it is. Each run ends with exactly
// one result, handed to the run's completion on this object's thread and never inside recognize().
//
// States: idle; capturing (recording, the capture time pending); matching (the clip sent, the answer
// awaited for at most the match deadline). A call of recognize() while capturing or matching is
// refused with a failure of its own, and the run under way goes on.
class SongRecognizer : public QObject {
    Q_OBJECT

public:
    enum class State { idle, capturing, matching };
    using Completion = std::function<void(const SongRecognitionResult &result)>;

    // Records from the microphone and matches with the AudD service.
    explicit SongRecognizer(QObject *parent = nullptr);
    // The capture time and the match deadline run on clock.
    SongRecognizer(std::unique_ptr<AudioCapture> capture, std::unique_ptr<ClipMatcher> matcher,
                   SteadyClock &clock = SteadyClock::system(), QObject *parent = nullptr);
    ~SongRecognizer() override;

    // preferredInputDeviceId: the input to record from; nothing or blank means the system default.
    void recognize(std::chrono::milliseconds captureTime,
                   const std::optional<QString> &preferredInputDeviceId, Completion completion);

    State stateForTesting() const { return m_state; }
    bool isRunning() const { return m_state != State::idle; }
    // How long the matcher may take, from the end of the capture.
    void setMatchDeadlineForTesting(std::chrono::milliseconds deadline);

private:
    static constexpr std::chrono::milliseconds defaultMatchDeadline{20000};

    void captureStarted();
    void captureFailed(const CaptureFailure &failure);
    void stopCaptureAndMatch();
    void clipCaptured(const AudioClip &clip);
    void finish(const SongRecognitionResult &result);

    AudioCapture *m_capture;
    ClipMatcher *m_matcher;
    State m_state = State::idle;
    Completion m_completion;
    std::chrono::milliseconds m_captureTime{0};
    std::chrono::milliseconds m_matchDeadlineTime = defaultMatchDeadline;
    ClockTimer m_captureTimer;
    ClockTimer m_matchDeadline;
};

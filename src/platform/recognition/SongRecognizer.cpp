#include "platform/recognition/SongRecognizer.h"

#include "core/common/UiText.h"
#include "platform/recognition/AudDClipMatcher.h"
#include "platform/recognition/MicrophoneCapture.h"

namespace {

QString captureFailureMessage(const CaptureFailure &failure)
{
    switch (failure.kind) {
    case CaptureFailure::Kind::noInput:
        return UiText::tr("No microphone input available. Check your desktop's sound settings and the "
                          "microphone chosen in Lyrafold's settings menu.");
    case CaptureFailure::Kind::deviceNotPresent:
        return UiText::tr("Selected microphone is not available. Choose another microphone in Settings.");
    case CaptureFailure::Kind::deviceUnusable:
        return UiText::tr("Could not use selected microphone (%1).").arg(failure.detail);
    case CaptureFailure::Kind::startFailed:
        return UiText::tr("Unable to start audio capture.");
    case CaptureFailure::Kind::readFailed:
        break;
    }
    return UiText::tr("Failed to process microphone input.");
}

} // namespace

SongRecognizer::SongRecognizer(QObject *parent)
    : SongRecognizer(
          std::make_unique<MicrophoneCapture>(),
          std::make_unique<AudDClipMatcher>(AudDClipMatcher::standardEndpoint(), defaultMatchDeadline),
          SteadyClock::system(), parent)
{
}

SongRecognizer::SongRecognizer(std::unique_ptr<AudioCapture> capture, std::unique_ptr<ClipMatcher> matcher,
                               SteadyClock &clock, QObject *parent)
    : QObject(parent), m_capture(capture.release()), m_matcher(matcher.release()), m_captureTimer(clock),
      m_matchDeadline(clock)
{
    m_capture->setParent(this);
    m_matcher->setParent(this);

    connect(m_capture, &AudioCapture::started, this, &SongRecognizer::captureStarted);
    connect(m_capture, &AudioCapture::failed, this, &SongRecognizer::captureFailed);
    connect(m_capture, &AudioCapture::captured, this, &SongRecognizer::clipCaptured);
    connect(m_matcher, &ClipMatcher::answered, this, [this](const SongRecognitionResult &result) {
        if (m_state == State::matching)
            finish(result);
    });
    connect(&m_captureTimer, &ClockTimer::timeout, this, &SongRecognizer::stopCaptureAndMatch);
    connect(&m_matchDeadline, &ClockTimer::timeout, this,
            [this] { finish(SongRecognitionResult::failure(UiText::tr("Recognition timed out."))); });
}

SongRecognizer::~SongRecognizer()
{
    m_capture->abort();
    m_matcher->cancel();
}

void SongRecognizer::setMatchDeadlineForTesting(std::chrono::milliseconds deadline)
{
    m_matchDeadlineTime = deadline;
}

void SongRecognizer::recognize(std::chrono::milliseconds captureTime,
                               const std::optional<QString> &preferredInputDeviceId, Completion completion)
{
    if (isRunning()) {
        QMetaObject::invokeMethod(
            this,
            [completion = std::move(completion)] {
                completion(
                    SongRecognitionResult::failure(UiText::tr("Song recognition is already running.")));
            },
            Qt::QueuedConnection);
        return;
    }
    m_completion = std::move(completion);
    m_state = State::capturing;
    m_captureTime = captureTime;
    m_capture->start(preferredInputDeviceId.value_or(QString()));
}

void SongRecognizer::captureStarted()
{
    if (m_state == State::capturing && !m_captureTimer.isActive())
        m_captureTimer.start(m_captureTime);
}

void SongRecognizer::captureFailed(const CaptureFailure &failure)
{
    if (isRunning())
        finish(SongRecognitionResult::failure(captureFailureMessage(failure)));
}

void SongRecognizer::stopCaptureAndMatch()
{
    if (m_state != State::capturing)
        return;
    m_state = State::matching;
    m_matchDeadline.start(m_matchDeadlineTime);
    m_capture->stop();
}

void SongRecognizer::clipCaptured(const AudioClip &clip)
{
    if (m_state == State::matching)
        m_matcher->match(clip);
}

void SongRecognizer::finish(const SongRecognitionResult &result)
{
    if (!m_completion)
        return;
    const Completion completion = std::exchange(m_completion, nullptr);
    m_state = State::idle;
    m_captureTimer.stop();
    m_matchDeadline.stop();
    m_capture->abort();
    m_matcher->cancel();
    completion(result);
}

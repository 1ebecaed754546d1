#include "platform/recognition/MicrophoneCapture.h"

#include "core/text/TextUtils.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QMediaDevices>

#include <algorithm>

namespace {

// Where the source writes each period's audio as it comes, turned into the clip's format at once.
class ClipSink : public QIODevice {
public:
    Pcm16MonoWriter writer{QAudioFormat()};

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        writer.append(QByteArrayView(data, size));
        return size;
    }
};

} // namespace

// The recording side, on the capture's own thread. Its reports are posted to the owner's thread; the
// owner outlives the thread, so they always have a receiver.
class MicrophoneCaptureWorker : public QObject {
public:
    using Report = std::function<void(MicrophoneCapture *)>;

    explicit MicrophoneCaptureWorker(std::function<void(Report)> report) : m_report(std::move(report)) {}
    // A source still recording stops and goes before the sink it writes to.
    ~MicrophoneCaptureWorker() override { close(); }

    void open(quint64 recording, const QAudioDevice &device, const QAudioFormat &format, bool deviceChosen)
    {
        close();
        m_recording = recording;
        m_sink.writer = Pcm16MonoWriter(format);
        m_sink.writer.reserve(std::chrono::seconds(10));
        m_sink.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        m_source = new QAudioSource(device, format, this);
        m_source->start(&m_sink);
        if (m_source->error() != QAudio::NoError) {
            const CaptureFailure failure = MicrophoneCapture::startFailure(m_source->error(), deviceChosen);
            close();
            report(recording, failure);
            return;
        }
        connect(m_source, &QAudioSource::stateChanged, this, [this, recording] {
            const QAudio::Error error = m_source->error();
            if (error != QAudio::IOError && error != QAudio::FatalError)
                return;
            // Not inside the source's own signal: the source goes once it has returned.
            m_source->disconnect(this);
            QMetaObject::invokeMethod(
                this,
                [this, recording] {
                    if (recording != m_recording)
                        return;
                    close();
                    report(recording, CaptureFailure{CaptureFailure::Kind::readFailed, {}});
                },
                Qt::QueuedConnection);
        });
        m_report([recording](MicrophoneCapture *owner) { owner->recordingStarted(recording); });
    }

    // Ends the recording; keep hands the clip over, otherwise it is dropped.
    void finish(quint64 recording, bool keep)
    {
        if (recording != m_recording || !m_source)
            return;
        close();
        AudioClip clip = m_sink.writer.take();
        if (!keep)
            return;
        if (clip.samples.isEmpty()) {
            report(recording, CaptureFailure{CaptureFailure::Kind::readFailed, {}});
            return;
        }
        m_report([recording, clip = std::move(clip)](MicrophoneCapture *owner) {
            owner->recordingCaptured(recording, clip);
        });
    }

private:
    void report(quint64 recording, const CaptureFailure &failure)
    {
        m_report(
            [recording, failure](MicrophoneCapture *owner) { owner->recordingFailed(recording, failure); });
    }

    void close()
    {
        delete m_source;
        m_source = nullptr;
        m_sink.close();
    }

    std::function<void(Report)> m_report;
    QAudioSource *m_source = nullptr;
    ClipSink m_sink;
    quint64 m_recording = 0;
};

MicrophoneCapture::InputCapabilities MicrophoneCapture::InputCapabilities::of(const QAudioDevice &device)
{
    return {device.preferredFormat(),     device.minimumSampleRate(),   device.maximumSampleRate(),
            device.minimumChannelCount(), device.maximumChannelCount(), device.supportedSampleFormats()};
}

MicrophoneCapture::MicrophoneCapture(QObject *parent) : AudioCapture(parent)
{
    m_thread.setObjectName(QStringLiteral("Microphone"));
}

MicrophoneCapture::~MicrophoneCapture()
{
    m_thread.quit();
    m_thread.wait();
}

std::optional<QAudioFormat> MicrophoneCapture::captureFormat(const InputCapabilities &device)
{
    if (device.preferred.sampleRate() <= 0 || device.preferred.channelCount() <= 0)
        return std::nullopt;
    QAudioFormat format = device.preferred;
    if (device.minimumSampleRate > 0 && device.maximumSampleRate >= device.minimumSampleRate)
        format.setSampleRate(std::clamp(44100, device.minimumSampleRate, device.maximumSampleRate));
    if (device.minimumChannelCount > 0 && device.maximumChannelCount >= device.minimumChannelCount)
        format.setChannelCount(std::clamp(1, device.minimumChannelCount, device.maximumChannelCount));
    // The nearest to 16 bits that loses nothing, else whatever the device has.
    for (const QAudioFormat::SampleFormat sampleFormat :
         {QAudioFormat::Int16, QAudioFormat::Int32, QAudioFormat::Float, QAudioFormat::UInt8}) {
        if (device.sampleFormats.contains(sampleFormat)) {
            format.setSampleFormat(sampleFormat);
            break;
        }
    }
    if (format.sampleFormat() == QAudioFormat::Unknown)
        return std::nullopt;
    return format;
}

CaptureFailure MicrophoneCapture::startFailure(QAudio::Error error, bool deviceChosen)
{
    if (error == QAudio::OpenError && deviceChosen)
        return {CaptureFailure::Kind::deviceUnusable, QStringLiteral("OpenError")};
    return {CaptureFailure::Kind::startFailed, {}};
}

void MicrophoneCapture::start(const QString &deviceId)
{
    abort();
    const quint64 recording = ++m_recording;
    m_active = true;

    const bool deviceChosen = !TextUtils::trimmed(deviceId).isEmpty();
    QAudioDevice device;
    if (deviceChosen) {
        const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
        const auto found = std::ranges::find_if(
            inputs, [&](const QAudioDevice &input) { return QString::fromUtf8(input.id()) == deviceId; });
        if (found == inputs.end()) {
            fail(recording, {CaptureFailure::Kind::deviceNotPresent, {}});
            return;
        }
        device = *found;
    } else {
        device = QMediaDevices::defaultAudioInput();
    }
    // Asked of the device that will record, after it was chosen.
    const std::optional<QAudioFormat> format =
        device.isNull() ? std::nullopt : captureFormat(InputCapabilities::of(device));
    if (!format) {
        fail(recording, {CaptureFailure::Kind::noInput, {}});
        return;
    }

    if (!m_worker) {
        m_worker = new MicrophoneCaptureWorker([this](MicrophoneCaptureWorker::Report report) {
            QMetaObject::invokeMethod(
                this, [this, report = std::move(report)] { report(this); }, Qt::QueuedConnection);
        });
        m_worker->moveToThread(&m_thread);
        connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread.start();
    }
    QMetaObject::invokeMethod(m_worker,
                              [worker = m_worker, recording, device, format = *format, deviceChosen] {
                                  worker->open(recording, device, format, deviceChosen);
                              });
}

void MicrophoneCapture::stop()
{
    if (!m_active || !m_worker)
        return;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, recording = m_recording] { worker->finish(recording, true); });
}

void MicrophoneCapture::abort()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, recording = m_recording] { worker->finish(recording, false); });
}

void MicrophoneCapture::fail(quint64 recording, const CaptureFailure &failure)
{
    QMetaObject::invokeMethod(
        this, [this, recording, failure] { recordingFailed(recording, failure); }, Qt::QueuedConnection);
}

void MicrophoneCapture::recordingStarted(quint64 recording)
{
    if (isCurrent(recording))
        Q_EMIT started();
}

void MicrophoneCapture::recordingFailed(quint64 recording, const CaptureFailure &failure)
{
    if (!isCurrent(recording))
        return;
    m_active = false;
    Q_EMIT failed(failure);
}

void MicrophoneCapture::recordingCaptured(quint64 recording, const AudioClip &clip)
{
    if (!isCurrent(recording))
        return;
    m_active = false;
    Q_EMIT captured(clip);
}

#include "LoopbackHttpServer.h"
#include "ManualClock.h"
#include "TestHarness.h"
#include "core/common/AppSettings.h"
#include "core/metadata/MetadataWebClient.h"
#include "platform/recognition/AudDClipMatcher.h"
#include "platform/recognition/MicrophoneCapture.h"
#include "platform/recognition/SongRecognizer.h"

#include <QAudioDevice>
#include <QDir>
#include <QMediaDevices>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTimer>
#include <QtEndian>

#include <cmath>

using namespace std::chrono_literals;
using Response = LoopbackHttpServer::Response;
using Result = SongRecognitionResult;
using Kind = CaptureFailure::Kind;

Q_DECLARE_METATYPE(Response)
Q_DECLARE_METATYPE(SongRecognitionResult)
Q_DECLARE_METATYPE(CaptureFailure)

namespace {

constexpr auto captureTime = 30ms;
constexpr double toneHz = 440;
constexpr double toneAmplitude = 0.5;

// What the fake microphone delivers: float stereo at 48 kHz, as many sound servers do.
QAudioFormat deviceFormat()
{
    QAudioFormat format;
    format.setSampleRate(48000);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Float);
    return format;
}

// A synthesised tone in the device's format, both channels alike.
QByteArray tone(const QAudioFormat &format, std::chrono::milliseconds duration)
{
    const qsizetype frames = qsizetype(format.sampleRate()) * duration.count() / 1000;
    QByteArray bytes;
    for (qsizetype i = 0; i < frames; ++i) {
        const float value =
            float(toneAmplitude * std::sin(2 * M_PI * toneHz * double(i) / format.sampleRate()));
        for (int channel = 0; channel < format.channelCount(); ++channel)
            bytes.append(reinterpret_cast<const char *>(&value), sizeof value);
    }
    return bytes;
}

// A microphone that plays a generated tone: the recording is the tone passed through the same
// conversion as a real device's audio, in pieces as a device delivers them. It does what the test
// scripts, and reports even what a real capture would hold back, to show what the recognizer ignores.
// Its start takes startDelay on the recognizer's clock.
class FakeCapture : public AudioCapture {
public:
    explicit FakeCapture(SteadyClock &clock) : m_clock(clock) {}

    std::optional<CaptureFailure> failAtStart;
    std::optional<CaptureFailure> failWhileMatching;
    std::chrono::milliseconds startDelay{0};
    QStringList startedWith;
    int stops = 0;
    int aborts = 0;
    SteadyClock::TimePoint startedAt;
    std::optional<std::chrono::steady_clock::duration> stoppedAfter;

    void start(const QString &deviceId) override
    {
        startedWith.append(deviceId);
        m_clock.callAfter(startDelay, this, [this] {
            if (failAtStart) {
                Q_EMIT failed(*failAtStart);
                return;
            }
            startedAt = m_clock.now();
            Q_EMIT started();
        });
    }

    void stop() override
    {
        ++stops;
        stoppedAfter = m_clock.now() - startedAt;
        QTimer::singleShot(0, this, [this] {
            if (failWhileMatching) {
                Q_EMIT failed(*failWhileMatching);
                return;
            }
            Pcm16MonoWriter writer(deviceFormat());
            const QByteArray played = tone(deviceFormat(), 250ms);
            for (qsizetype at = 0; at < played.size(); at += 1001) // pieces that split frames
                writer.append(
                    QByteArrayView(played).sliced(at, std::min<qsizetype>(1001, played.size() - at)));
            Q_EMIT captured(writer.take());
        });
    }

    void abort() override { ++aborts; }

private:
    SteadyClock &m_clock;
};

// One run's completions, however many come.
struct Completions {
    QList<Result> results;
    SongRecognizer::Completion completion()
    {
        return [this](const Result &result) { results.append(result); };
    }
};

// JSON written with single quotes, kept readable without raw strings, which moc misreads.
QByteArray json(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

qint16 sampleAt(const QByteArray &samples, qsizetype i)
{
    return qFromLittleEndian<qint16>(samples.constData() + 2 * i);
}

} // namespace

class SongRecognitionTest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("rowsOverParts", "matcherAnswers")

    LoopbackHttpServer m_server;
    Response m_response;
    // Where a test checks the capture time or the match deadline, the recognizer runs on this clock,
    // which moves only when the test moves it.
    ManualClock m_clock;
    FakeCapture *m_capture = nullptr;
    std::unique_ptr<SongRecognizer> m_recognizer;

    void makeRecognizer(QUrl endpoint, SteadyClock &clock = SteadyClock::system())
    {
        auto capture = std::make_unique<FakeCapture>(clock);
        m_capture = capture.get();
        // The matcher's own timeout, on the system's clock, does not come into these tests.
        m_recognizer = std::make_unique<SongRecognizer>(
            std::move(capture), std::make_unique<AudDClipMatcher>(endpoint, std::chrono::minutes(10)), clock);
        // On the system's clock, long enough for any answer the server gives at once, however loaded
        // the machine; the manual clock keeps the product's deadline.
        if (&clock == &SteadyClock::system())
            m_recognizer->setMatchDeadlineForTesting(5s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QVERIFY(m_server.listen());
        m_server.setHandler([this](const LoopbackHttpServer::Request &) { return m_response; });
    }

    void init()
    {
        m_server.clearRequests();
        m_response = Response{};
        AppSettings::remove(AppSettings::recognitionTokenKey);
        makeRecognizer(m_server.baseUrl());
    }

    void pcmConversion_data()
    {
        QTest::addColumn<QAudioFormat::SampleFormat>("sampleFormat");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<qint16>>("expected");

        const auto raw = [](auto... values) {
            QByteArray bytes;
            (bytes.append(reinterpret_cast<const char *>(&values), sizeof values), ...);
            return bytes;
        };
        QTest::newRow("16-bit mono as it is")
            << QAudioFormat::Int16 << 1 << raw(qint16(5), qint16(-32768)) << QList<qint16>{5, -32768};
        QTest::newRow("16-bit stereo averaged")
            << QAudioFormat::Int16 << 2 << raw(qint16(1000), qint16(3000), qint16(-32768), qint16(-32768))
            << QList<qint16>{2000, -32768};
        QTest::newRow("float clamped")
            << QAudioFormat::Float << 1 << raw(0.5f, 2.0f, -1.0f) << QList<qint16>{16384, 32767, -32767};
        QTest::newRow("unsigned 8-bit")
            << QAudioFormat::UInt8 << 1 << raw(quint8(128), quint8(255), quint8(0))
            << QList<qint16>{0, 32512, -32768};
        QTest::newRow("32-bit stereo")
            << QAudioFormat::Int32 << 2 << raw(qint32(1 << 30), qint32(1 << 30)) << QList<qint16>{16384};
    }

    void pcmConversion()
    {
        QFETCH(QAudioFormat::SampleFormat, sampleFormat);
        QFETCH(int, channels);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<qint16>, expected);
        QAudioFormat format;
        format.setSampleRate(22050);
        format.setChannelCount(channels);
        format.setSampleFormat(sampleFormat);

        // One byte at a time, so that every frame arrives split.
        Pcm16MonoWriter writer(format);
        for (char byte : bytes)
            writer.append(QByteArrayView(&byte, 1));
        const AudioClip clip = writer.take();

        QCOMPARE(clip.sampleRate, 22050);
        QList<qint16> samples;
        for (qsizetype i = 0; i < clip.samples.size() / 2; ++i)
            samples.append(sampleAt(clip.samples, i));
        QCOMPARE(samples, expected);
    }

    void captureFormat_data()
    {
        QTest::addColumn<MicrophoneCapture::InputCapabilities>("device");
        QTest::addColumn<QAudioFormat>("expected");
        using F = QAudioFormat;
        const auto format = [](int rate, int channels, F::SampleFormat sampleFormat) {
            F f;
            f.setSampleRate(rate);
            f.setChannelCount(channels);
            f.setSampleFormat(sampleFormat);
            return f;
        };
        // Preferred format, rates, channels and sample formats offered.
        const auto device = [&](F preferred, int minRate, int maxRate, int maxChannels,
                                QList<F::SampleFormat> formats) {
            return MicrophoneCapture::InputCapabilities{preferred, minRate, maxRate, 1, maxChannels, formats};
        };
        const F stereoFloat = format(48000, 2, F::Float);
        QTest::newRow("mono 16-bit 44.1 kHz when offered")
            << device(stereoFloat, 8000, 192000, 8, {F::Float, F::Int16}) << format(44100, 1, F::Int16);
        QTest::newRow("nearest rate, 32-bit before float")
            << device(stereoFloat, 96000, 192000, 2, {F::Float, F::Int32}) << format(96000, 1, F::Int32);
        QTest::newRow("no sample formats listed: its own")
            << device(stereoFloat, 8000, 48000, 2, {}) << format(44100, 1, F::Float);
        QTest::newRow("no rate: nothing usable")
            << device(format(0, 2, F::Float), 8000, 48000, 2, {F::Float}) << F();
    }

    void captureFormat()
    {
        QFETCH(MicrophoneCapture::InputCapabilities, device);
        QFETCH(QAudioFormat, expected);
        QCOMPARE(MicrophoneCapture::captureFormatForTesting(device).value_or(QAudioFormat()), expected);
    }

    // Hand-made answers in the shape of the service's: none was recorded from it.
    void matcherAnswers_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<Result>("expected");
        QTest::addColumn<bool>("ownToken");

        const QString unreadable =
            QStringLiteral("The recognition service sent an answer that could not be read.");
        const QString usedUp = QStringLiteral("The recognition service's free requests are used up. Enter an "
                                              "AudD API token of your own in the settings menu.");
        const auto answer = [](const char *body) { return Response{200, json(body)}; };

        TestHarness::partRow("hand-made: a match")
            << answer("{'status':'success','result':{'artist':'Kenny Dorham','title':'Blue Bossa',"
                      "'album':'Page One','timecode':'00:41','song_link':'https://lis.tn/x'}}")
            << Result::success("Blue Bossa", "Kenny Dorham") << false;
        TestHarness::partRow("hand-made: no artist")
            << answer("{'status':'success','result':{'title':'Blue Bossa','timecode':'00:41'}}")
            << Result::success("Blue Bossa", "") << false;
        TestHarness::partRow("hand-made: no title")
            << answer("{'status':'success','result':{'artist':'Kenny Dorham','timecode':'00:41'}}")
            << Result::success("", "Kenny Dorham") << false;
        TestHarness::partRow("hand-made: only where in the song")
            << answer("{'status':'success','result':{'timecode':'00:41','audio_id':123}}")
            << Result::success("", "") << false;
        TestHarness::partRow("hand-made: no match")
            << answer("{'status':'success','result':null}") << Result::noMatch() << false;
        TestHarness::partRow("hand-made: an error")
            << answer("{'status':'error','error':{'error_code':300,'error_message':'Recognition failed: "
                      "a problem with fingerprints creating.'}}")
            << Result::failure("Recognition failed: a problem with fingerprints creating.") << false;
        TestHarness::partRow("hand-made: wrong token")
            << answer("{'status':'error','error':{'error_code':900,'error_message':'Recognition failed: "
                      "authorization failed: wrong api_token.'}}")
            << Result::failure("Recognition failed: authorization failed: wrong api_token.", true) << false;
        TestHarness::partRow("hand-made: requests used up")
            << answer("{'status':'error','error':{'error_code':901,'error_message':'Recognition failed: "
                      "authorization failed: no api_token passed and the limit was reached.'}}")
            << Result::failure(usedUp, true) << false;
        TestHarness::partRow("hand-made: a token's requests used up")
            << answer("{'status':'error','error':{'error_code':902,'error_message':'limit'}}")
            << Result::failure(usedUp, true) << false;
        TestHarness::partRow("hand-made: your token's requests used up")
            << answer("{'status':'error','error':{'error_code':902,'error_message':'limit'}}")
            << Result::failure("The requests of your AudD API token are used up. Check your plan at "
                               "dashboard.audd.io or enter another token in the settings menu.",
                               true)
            << true;
        TestHarness::partRow("hand-made: an error without words")
            << answer("{'status':'error','error':{'error_code':700}}")
            << Result::failure("The recognition service reported error 700.") << false;
        TestHarness::partRow("error not an object")
            << answer("{'status':'error','error':'bad'}") << Result::failure(unreadable) << false;
        TestHarness::partRow("malformed body")
            << answer("{'status':'success','result':{'title'") << Result::failure(unreadable) << false;
        TestHarness::partRow("no status")
            << answer("{'result':null}") << Result::failure(unreadable) << false;
        TestHarness::partRow("server error")
            << Response{503, "busy"}
            << Result::failure("The recognition service answered with HTTP status 503.") << false;
        // Held back for longer than any test waits: the deadline, on the test's clock, comes first.
        TestHarness::partRow("no answer within the deadline")
            << Response{200, json("{'status':'success','result':null}"), "application/json", false,
                        std::chrono::minutes(10)}
            << Result::failure("Recognition timed out.") << false;
    }

    void matcherAnswers()
    {
        QFETCH(Response, response);
        QFETCH(Result, expected);
        QFETCH(bool, ownToken);
        m_response = response;
        if (ownToken)
            AudDClipMatcher::setUserToken(QStringLiteral("my-token"));
        makeRecognizer(m_server.baseUrl(), m_clock);

        Completions completions;
        m_recognizer->recognize(captureTime, std::nullopt, completions.completion());
        // The recording starts and runs its time; the clip goes to the matcher.
        m_clock.advance(captureTime);
        if (response.delay > 0ms) {
            WAIT_COMPARE(m_server.requests().size(), 1);
            const int abandoned = m_server.abandonedAnswers();
            // The match deadline is 20 s.
            m_clock.advance(20s - 1ms);
            QVERIFY(completions.results.isEmpty());
            m_clock.advance(1ms);
            QCOMPARE(completions.results.size(), 1);
            // The run's end takes its request back: the late answer is never sent.
            WAIT_COMPARE(m_server.abandonedAnswers(), abandoned + 1);
        }
        WAIT_COMPARE(completions.results.size(), 1);
        QCOMPARE(completions.results.first(), expected);
        QCOMPARE(m_recognizer->stateForTesting(), SongRecognizer::State::idle);
        QCOMPARE(m_server.requests().size(), 1);
        // A late answer delivers nothing more.
        TestHarness::settleWorkers();
        QCOMPARE(completions.results.size(), 1);
    }

    void request_data()
    {
        QTest::addColumn<std::optional<QString>>("storedToken");
        QTest::addColumn<QByteArray>("sentToken");
        QTest::newRow("the user's, trimmed")
            << std::optional<QString>(" my-token\n") << QByteArray("my-token");
        QTest::newRow("none: the demonstration token") << std::optional<QString>() << QByteArray("test");
        QTest::newRow("blank: the demonstration token") << std::optional<QString>("  ") << QByteArray("test");
    }

    void request()
    {
        QFETCH(std::optional<QString>, storedToken);
        QFETCH(QByteArray, sentToken);
        if (storedToken)
            AppSettings::setValue(AppSettings::recognitionTokenKey, *storedToken);
        m_response = Response{200, json("{'status':'success','result':null}")};
        const QStringList tempBefore =
            QDir(QDir::tempPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        Completions completions;
        m_recognizer->recognize(captureTime, std::nullopt, completions.completion());
        WAIT_COMPARE(completions.results.size(), 1);

        QCOMPARE(m_server.requests().size(), 1);
        const LoopbackHttpServer::Request &request = m_server.requests().first();
        QCOMPARE(request.method, "POST");
        QCOMPARE(request.target, "/");
        QCOMPARE(request.headers.value("user-agent"), MetadataWebClient::userAgent());
        const QHash<QByteArray, LoopbackHttpServer::FormPart> parts = request.formParts();
        QCOMPARE(parts.keys().size(), 2);
        QCOMPARE(parts.value("api_token").body, sentToken);
        const LoopbackHttpServer::FormPart file = parts.value("file");
        QVERIFY(file.headers.value("content-disposition").contains("filename=\"clip.wav\""));
        QCOMPARE(file.headers.value("content-type"), "audio/wav");

        // The clip as a 16-bit mono WAV file at the device's rate (48 kHz, 12,000 samples), holding the tone.
        const QByteArray wav = file.body;
        // "RIFF", size, "WAVEfmt ", 16, PCM, 1 channel, 48000, 96000 bytes a second, 2, 16 bits, "data",
        // size.
        const QByteArray header = "52494646e45d000057415645666d7420100000000100010080bb00000077010002001000"
                                  "64617461c05d0000";
        QCOMPARE(wav.left(44).toHex(), header);
        QCOMPARE(wav.size(), 44 + 24000);
        for (qsizetype i : {0, 27, 5000, 11999}) {
            const double expected = toneAmplitude * 32767 * std::sin(2 * M_PI * toneHz * double(i) / 48000);
            QVERIFY2(std::abs(sampleAt(wav.mid(44), i) - expected) <= 1, qPrintable(QString::number(i)));
        }

        // The token is in the body only, and nothing of the run stays on disk.
        QVERIFY(!request.target.contains(sentToken));
        for (const QByteArray &header : request.headers)
            QVERIFY(!header.contains(sentToken));
        QCOMPARE(QDir(QDir::tempPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), tempBefore);
    }

    void clipGoesOnlyOverHttps()
    {
        makeRecognizer(QUrl(QStringLiteral("http://example.invalid/")));
        Completions completions;
        m_recognizer->recognize(captureTime, std::nullopt, completions.completion());
        WAIT_COMPARE(completions.results.size(), 1);
        QCOMPARE(completions.results.first(),
                 Result::failure("The recognition service must be reached over https."));
    }

    void captureFailures_data()
    {
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<CaptureFailure>("failure");
        QTest::addColumn<QString>("message");

        QTest::newRow("no input")
            << true << CaptureFailure{Kind::noInput, {}}
            << "No microphone input available. Check your desktop's sound settings and the "
               "microphone chosen in Lyrafold's settings menu.";
        QTest::newRow("chosen device gone")
            << true << CaptureFailure{Kind::deviceNotPresent, {}}
            << "Selected microphone is not available. Choose another microphone in Settings.";
        QTest::newRow("chosen device refused") << true << CaptureFailure{Kind::deviceUnusable, "OpenError"}
                                               << "Could not use selected microphone (OpenError).";
        QTest::newRow("start failed")
            << true << CaptureFailure{Kind::startFailed, {}} << "Unable to start audio capture.";
        QTest::newRow("device failed while recording")
            << false << CaptureFailure{Kind::readFailed, {}} << "Failed to process microphone input.";
    }

    void captureFailures()
    {
        QFETCH(bool, atStart);
        QFETCH(CaptureFailure, failure);
        QFETCH(QString, message);
        (atStart ? m_capture->failAtStart : m_capture->failWhileMatching) = failure;

        Completions completions;
        m_recognizer->recognize(captureTime, std::nullopt, completions.completion());
        WAIT_COMPARE(completions.results.size(), 1);
        QCOMPARE(completions.results.first(), Result::failure(message));
        QCOMPARE(m_capture->stops, atStart ? 0 : 1);
        QVERIFY(m_capture->aborts >= 1);
        QVERIFY(m_server.requests().isEmpty());
        QCOMPARE(m_recognizer->stateForTesting(), SongRecognizer::State::idle);
    }

    void startFailureNames_data()
    {
        QTest::addColumn<QAudio::Error>("error");
        QTest::addColumn<bool>("deviceChosen");
        QTest::addColumn<CaptureFailure>("failure");
        QTest::newRow("chosen device does not open")
            << QAudio::OpenError << true << CaptureFailure{Kind::deviceUnusable, "OpenError"};
        QTest::newRow("default device does not open")
            << QAudio::OpenError << false << CaptureFailure{Kind::startFailed, {}};
        QTest::newRow("chosen device fails otherwise")
            << QAudio::FatalError << true << CaptureFailure{Kind::startFailed, {}};
    }

    void startFailureNames()
    {
        QFETCH(QAudio::Error, error);
        QFETCH(bool, deviceChosen);
        QFETCH(CaptureFailure, failure);
        QCOMPARE(MicrophoneCapture::startFailure(error, deviceChosen), failure);
    }

    // The real microphone path on a machine without sound devices (a build machine).
    void realCaptureWithoutDevice_data()
    {
        QTest::addColumn<std::optional<QString>>("deviceId");
        QTest::addColumn<QString>("message");
        QTest::newRow("system default")
            << std::optional<QString>(" \n")
            << "No microphone input available. Check your desktop's sound settings "
               "and the microphone chosen in Lyrafold's settings menu.";
        QTest::newRow("chosen device")
            << std::optional<QString>("alsa_input.gone")
            << "Selected microphone is not available. Choose another microphone in "
               "Settings.";
    }

    void realCaptureWithoutDevice()
    {
        QFETCH(std::optional<QString>, deviceId);
        QFETCH(QString, message);
        if (!QMediaDevices::audioInputs().isEmpty() && deviceId->trimmed().isEmpty())
            QSKIP("this machine has sound inputs");
        SongRecognizer recognizer(std::make_unique<MicrophoneCapture>(),
                                  std::make_unique<AudDClipMatcher>(m_server.baseUrl()));
        Completions completions;
        recognizer.recognize(captureTime, deviceId, completions.completion());
        WAIT_COMPARE(completions.results.size(), 1);
        QCOMPARE(completions.results.first(), Result::failure(message));
        QVERIFY(m_server.requests().isEmpty());
    }

    void alreadyRunning_data()
    {
        QTest::addColumn<SongRecognizer::State>("secondCallIn");
        QTest::newRow("capturing") << SongRecognizer::State::capturing;
        QTest::newRow("matching") << SongRecognizer::State::matching;
    }

    void alreadyRunning()
    {
        QFETCH(SongRecognizer::State, secondCallIn);
        m_response = Response{200, json("{'status':'success','result':{'title':'Blue Bossa'}}"),
                              "application/json", false, 100ms};
        Completions first, second;
        m_recognizer->recognize(captureTime, std::nullopt, first.completion());
        WAIT_COMPARE(m_recognizer->stateForTesting(), secondCallIn);
        m_recognizer->recognize(captureTime, std::nullopt, second.completion());

        WAIT_COMPARE(second.results.size(), 1);
        QCOMPARE(second.results.first(), Result::failure("Song recognition is already running."));
        WAIT_COMPARE(first.results.size(), 1);
        QCOMPARE(first.results.first(), Result::success("Blue Bossa", ""));
        QCOMPARE(m_capture->startedWith.size(), 1);
        QCOMPARE(second.results.size(), 1);
    }

    // A capture failure and the matcher's answer both end the run: the first to come is delivered.
    void oneDeliveryWhenFailureRacesAnswer_data()
    {
        QTest::addColumn<bool>("failureFirst");
        QTest::newRow("answer, then capture failure") << false;
        QTest::newRow("capture failure, then answer") << true;
    }

    void oneDeliveryWhenFailureRacesAnswer()
    {
        QFETCH(bool, failureFirst);
        m_response = Response{200, json("{'status':'success','result':{'title':'Blue Bossa'}}"),
                              "application/json", false, failureFirst ? 100ms : 0ms};
        Completions completions;
        m_recognizer->recognize(captureTime, std::nullopt, completions.completion());
        WAIT_COMPARE(m_server.requests().size(), 1);
        if (!failureFirst)
            WAIT_COMPARE(completions.results.size(), 1);
        const int abandoned = m_server.abandonedAnswers();
        Q_EMIT m_capture->failed(CaptureFailure{Kind::readFailed, {}});
        // The run's end takes its request back: its answer can no longer come.
        if (failureFirst)
            WAIT_COMPARE(m_server.abandonedAnswers(), abandoned + 1);
        TestHarness::settleWorkers();

        QCOMPARE(completions.results.size(), 1);
        QCOMPARE(completions.results.first(), failureFirst
                                                  ? Result::failure("Failed to process microphone input.")
                                                  : Result::success("Blue Bossa", ""));
    }

    // The capture time runs from the moment the recording has started, however long starting took.
    void captureTimeCountsFromStart()
    {
        m_response = Response{200, json("{'status':'success','result':null}")};
        makeRecognizer(m_server.baseUrl(), m_clock);
        m_capture->startDelay = 150ms;
        Completions completions;
        m_recognizer->recognize(200ms, QStringLiteral("usb-mic"), completions.completion());
        QCOMPARE(m_recognizer->stateForTesting(), SongRecognizer::State::capturing);
        m_clock.advance(150ms + 199ms);
        QCOMPARE(m_capture->stops, 0);
        m_clock.advance(1ms);
        QCOMPARE(m_capture->stops, 1);
        QVERIFY(m_capture->stoppedAfter == 200ms);
        WAIT_COMPARE(completions.results.size(), 1);
        QCOMPARE(completions.results.first(), Result::noMatch());
        QCOMPARE(m_capture->startedWith, QStringList{"usb-mic"});
    }
};

LYRAFOLD_TEST_MAIN(SongRecognitionTest)
#include "tst_songrecognition.moc"

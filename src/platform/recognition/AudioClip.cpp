#include "platform/recognition/AudioClip.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

std::chrono::milliseconds AudioClip::duration() const
{
    if (sampleRate <= 0)
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(sampleCount() * 1000 / sampleRate);
}

QByteArray AudioClip::wavFile() const
{
    const auto u32 = [](QByteArray &out, quint32 value) {
        const quint32 le = qToLittleEndian(value);
        out.append(reinterpret_cast<const char *>(&le), 4);
    };
    const auto u16 = [](QByteArray &out, quint16 value) {
        const quint16 le = qToLittleEndian(value);
        out.append(reinterpret_cast<const char *>(&le), 2);
    };
    constexpr quint16 channels = 1;
    constexpr quint16 bitsPerSample = 16;
    const quint32 dataSize = quint32(samples.size());

    QByteArray wav;
    wav.reserve(44 + samples.size());
    wav.append("RIFF");
    u32(wav, 36 + dataSize);
    wav.append("WAVEfmt ");
    u32(wav, 16);
    u16(wav, 1); // PCM
    u16(wav, channels);
    u32(wav, quint32(sampleRate));
    u32(wav, quint32(sampleRate) * channels * bitsPerSample / 8);
    u16(wav, channels * bitsPerSample / 8);
    u16(wav, bitsPerSample);
    wav.append("data");
    u32(wav, dataSize);
    wav.append(samples);
    return wav;
}

Pcm16MonoWriter::Pcm16MonoWriter(const QAudioFormat &format)
    : m_format(format), m_bytesPerFrame(format.bytesPerFrame())
{
    m_clip.sampleRate = format.sampleRate();
}

void Pcm16MonoWriter::reserve(std::chrono::milliseconds duration)
{
    m_clip.samples.reserve(qsizetype(m_clip.sampleRate) * duration.count() / 1000 * 2);
}

void Pcm16MonoWriter::append(QByteArrayView bytes)
{
    if (m_bytesPerFrame <= 0 || bytes.isEmpty())
        return;
    if (!m_partialFrame.isEmpty()) {
        const qsizetype missing = std::min(m_bytesPerFrame - m_partialFrame.size(), bytes.size());
        m_partialFrame.append(bytes.first(missing));
        bytes = bytes.sliced(missing);
        if (m_partialFrame.size() < m_bytesPerFrame)
            return;
        appendFrames(m_partialFrame.constData(), 1);
        m_partialFrame.clear();
    }
    const qsizetype frames = bytes.size() / m_bytesPerFrame;
    appendFrames(bytes.data(), frames);
    m_partialFrame = bytes.sliced(frames * m_bytesPerFrame).toByteArray();
}

void Pcm16MonoWriter::appendFrames(const char *data, qsizetype frames)
{
    if (frames <= 0)
        return;
    const qsizetype start = m_clip.samples.size();
    m_clip.samples.resize(start + frames * 2);
    char *out = m_clip.samples.data() + start;

    if (m_format.sampleFormat() == QAudioFormat::Int16 && m_format.channelCount() == 1 &&
        QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        std::copy_n(data, frames * 2, out);
        return;
    }
    const int channels = m_format.channelCount();
    const int bytesPerSample = m_format.bytesPerSample();
    const QAudioFormat::SampleFormat sampleFormat = m_format.sampleFormat();
    // Each sample on the 16-bit scale.
    const auto scaled = [sampleFormat](const char *sample) -> float {
        switch (sampleFormat) {
        case QAudioFormat::UInt8:
            return (float(*reinterpret_cast<const quint8 *>(sample)) - 128.0f) * 256.0f;
        case QAudioFormat::Int16:
            return *reinterpret_cast<const qint16 *>(sample);
        case QAudioFormat::Int32:
            return float(*reinterpret_cast<const qint32 *>(sample)) / 65536.0f;
        case QAudioFormat::Float:
            return std::clamp(*reinterpret_cast<const float *>(sample), -1.0f, 1.0f) * 32767.0f;
        default:
            return 0;
        }
    };
    for (qsizetype frame = 0; frame < frames; ++frame) {
        float sum = 0;
        for (int channel = 0; channel < channels; ++channel)
            sum += scaled(data + channel * bytesPerSample);
        const long mono = std::clamp(std::lround(sum / float(channels)), -32768L, 32767L);
        qToLittleEndian(qint16(mono), out + frame * 2);
        data += m_bytesPerFrame;
    }
}

AudioClip Pcm16MonoWriter::take()
{
    AudioClip clip = std::move(m_clip);
    m_clip = AudioClip{clip.sampleRate, {}};
    m_partialFrame.clear();
    return clip;
}

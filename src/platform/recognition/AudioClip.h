#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QByteArrayView>

#include <chrono>

// A recorded clip as the recognition service takes it: 16-bit signed mono samples, little endian.
struct AudioClip {
    int sampleRate = 0;
    QByteArray samples;

    std::chrono::milliseconds duration() const;
    // The clip as a WAV file (RIFF, PCM).
    QByteArray wavFile() const;

private:
    qsizetype sampleCount() const { return samples.size() / 2; }
};

// Turns what an input device delivers, in its own format, into an AudioClip: the channels of each
// frame are averaged and the sample scaled to 16 bits. Bytes may arrive in pieces of any size; a
// frame split between two pieces is joined.
class Pcm16MonoWriter {
public:
    explicit Pcm16MonoWriter(const QAudioFormat &format);

    // Room for that much audio, so that appending does not copy the clip again and again.
    void reserve(std::chrono::milliseconds duration);
    void append(QByteArrayView bytes);
    // The clip so far; the writer starts again empty.
    AudioClip take();

private:
    void appendFrames(const char *data, qsizetype frames);

    QAudioFormat m_format;
    int m_bytesPerFrame = 0;
    QByteArray m_partialFrame;
    AudioClip m_clip;
};

#pragma once

#include "platform/recognition/AudioClip.h"
#include "platform/recognition/SongRecognitionResult.h"

#include <QObject>

// Finds the song a clip was recorded from. One clip at a time; answered() follows each match() once,
// never inside the call, unless cancel() comes first.
class ClipMatcher : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void match(const AudioClip &clip) = 0;
    virtual void cancel() = 0;

Q_SIGNALS:
    void answered(const SongRecognitionResult &result);
};

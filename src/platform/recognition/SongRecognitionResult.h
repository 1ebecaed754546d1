#pragma once

#include <QString>

// The outcome of one listening run: the song found (title and artist, either may be empty), no song
// found, or a failure with the message for the user.
struct SongRecognitionResult {
    enum class Kind { success, noMatch, failure };

    Kind kind = Kind::noMatch;
    QString title;
    QString artist;
    QString message;
    // A failure the user mends by entering a token of their own: the service refused the token or
    // its requests are used up.
    bool tokenNeeded = false;

    static SongRecognitionResult success(const QString &title, const QString &artist)
    {
        return {Kind::success, title, artist, {}, false};
    }
    static SongRecognitionResult noMatch() { return {}; }
    static SongRecognitionResult failure(const QString &message, bool tokenNeeded = false)
    {
        return {Kind::failure, {}, {}, message, tokenNeeded};
    }

    bool operator==(const SongRecognitionResult &) const = default;
};

#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// The user's preferences, stored through QSettings under the organisation and application "Lyrafold".
namespace AppSettings {

inline const QString uiLanguageKey = QStringLiteral("Lyrafold.uiLanguage");
inline const QString studyModeEnabledKey = QStringLiteral("LyrafoldStudyModeEnabled");
inline const QString studyModeProviderKey = QStringLiteral("LyrafoldStudyModeProvider");
inline const QString listenMicrophoneUidKey = QStringLiteral("MainWindow.listenMicrophoneUID");
inline const QString discogsUserTokenKey = QStringLiteral("LyrafoldDiscogsUserToken");
inline const QString recognitionTokenKey = QStringLiteral("RecognitionAPIToken");
// Set once the user has agreed that a listening run sends the recorded clip to the recognition service.
inline const QString recognitionUploadConfirmedKey = QStringLiteral("RecognitionAudioUploadConfirmed");

// Keys whose values are secrets: while the settings file holds one, only its owner may read it.
inline const QStringList tokenKeys{discogsUserTokenKey, recognitionTokenKey};

QVariant value(const QString &key, const QVariant &defaultValue = {});
bool contains(const QString &key);
void setValue(const QString &key, const QVariant &value);
void remove(const QString &key);

// Texts and switches as the features read them: a missing key gives the default.
QString stringValue(const QString &key, const QString &defaultValue = {});
bool boolValue(const QString &key, bool defaultValue = false);

// A text the user typed, such as an access token: read and stored without surrounding white space and
// line breaks; a missing or blank one is nothing, and storing nothing removes the key.
std::optional<QString> trimmedText(const QString &key);
void setTrimmedText(const QString &key, const std::optional<QString> &text);

// Makes the settings file readable by its owner only when it holds a token; at start, for a file an
// earlier version or another program left readable.
void keepTokensPrivate();

} // namespace AppSettings

#pragma once

#include <QString>
#include <QVariant>

// The user's preferences, stored through QSettings under the organisation and application "Lyrafold".
namespace AppSettings {

inline const QString uiLanguageKey = QStringLiteral("Lyrafold.uiLanguage");
inline const QString studyModeEnabledKey = QStringLiteral("LyrafoldStudyModeEnabled");
inline const QString studyModeProviderKey = QStringLiteral("LyrafoldStudyModeProvider");
inline const QString listenMicrophoneUidKey = QStringLiteral("MainWindow.listenMicrophoneUID");
inline const QString discogsUserTokenKey = QStringLiteral("LyrafoldDiscogsUserToken");

QVariant value(const QString &key, const QVariant &defaultValue = {});
bool contains(const QString &key);
void setValue(const QString &key, const QVariant &value);
void remove(const QString &key);

// Texts and switches as the features read them: a missing key gives the default.
QString stringValue(const QString &key, const QString &defaultValue = {});
bool boolValue(const QString &key, bool defaultValue = false);

} // namespace AppSettings

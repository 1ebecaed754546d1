#pragma once

#include "ui/services/LyrafoldLanguageService.h"

#include <QList>
#include <QString>

// The windows that carry a help button, in catalogue order.
enum class LyrafoldHelpTopic { main, pdfViewer, playlists, autoPlaylist, workshop };

// One line of a help panel. The title reads the same in every language.
struct LyrafoldHelpEntry {
    QString title;
    QString english;
    QString turkish;
    QString spanish;
    QString assetName;    // an interface image, or empty
    QString systemSymbol; // a freedesktop icon theme name, or empty

    QString body(LyrafoldLanguage language) const;
};

// What each window's help panel says.
namespace LyrafoldHelpCatalogue {

QList<LyrafoldHelpTopic> topics();

QString topicTitle(LyrafoldHelpTopic topic, LyrafoldLanguage language);

// "Main Page Help", "Ana Sayfa Yardım", "Ayuda de Página principal": each holds the word the language
// switch looks for when it closes help panels.
QString panelTitle(LyrafoldHelpTopic topic, LyrafoldLanguage language);

QList<LyrafoldHelpEntry> entries(LyrafoldHelpTopic topic);

} // namespace LyrafoldHelpCatalogue

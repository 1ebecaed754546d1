#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The windows' modal alerts: a message, an informative text and buttons, the first of which is the
// default. Texts the language service knows are shown in the interface language; a text built with
// values is translated by the caller, from its pattern. Main thread only.
namespace LyrafoldAlert {

enum class Style { informational, warning };

// Runs the alert and returns the index of the button pressed (0 for the first); -1 when it was closed
// another way. The first namedButtons buttons carry names the user gave (playlists): they are shown as
// typed, never looked up in the language table.
int run(QWidget *parent, Style style, const QString &message, const QString &informativeText = {},
        const QStringList &buttons = {QStringLiteral("OK")}, qsizetype namedButtons = 0);

} // namespace LyrafoldAlert

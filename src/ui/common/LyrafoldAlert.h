#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The windows' modal alerts: a message, an informative text and buttons, the first of which is the
// default. Their texts are English in every interface language, the buttons' included: each button
// shows the text given for it, never a translation Qt has for a standard button. Main thread only.
namespace LyrafoldAlert {

enum class Style { informational, warning };

// Runs the alert and returns the index of the button pressed (0 for the first); -1 when it was closed
// another way. The first namedButtons buttons carry names the user gave (playlists): they are shown as
// typed, an "&" in them included.
int run(QWidget *parent, Style style, const QString &message, const QString &informativeText = {},
        const QStringList &buttons = {QStringLiteral("OK")}, qsizetype namedButtons = 0);

} // namespace LyrafoldAlert

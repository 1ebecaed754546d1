#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

class QWidget;

// The windows' modal alerts: a message, an informative text and buttons, the first of which is the
// default. Escape and the close box answer the button named "Cancel" wherever it stands, else the last of
// several. Their texts are English in every interface language, the buttons' included: each button shows
// the text given for it, never a translation Qt has for a standard button. Main thread only.
namespace LyrafoldAlert {

enum class Style { informational, warning };

// Runs the alert and returns the index of the button pressed (0 for the first); -1 when it was closed
// another way. The first namedButtons buttons carry names the user gave (playlists): they are shown as
// typed, an "&" in them included, and a playlist named "Cancel" is never the way out.
int run(QWidget *parent, Style style, const QString &message, const QString &informativeText = {},
        const QStringList &buttons = {QStringLiteral("OK")}, qsizetype namedButtons = 0);

// An alert the application raises on its own once work in the background has ended, at a moment the
// user did not choose: whatever the user is typing then (a search, a cell's field) was meant for something
// else. Its way out (the button Escape answers) is the default, no key answers it for a second after it
// shows, and a quit closes it as its way out.
int runUnasked(QWidget *parent, Style style, const QString &message, const QString &informativeText = {},
               const QStringList &buttons = {QStringLiteral("OK")});

// How long an alert raised on its own takes no key (a second); read at every key, so that a test can end
// the wait of an alert already shown.
void setKeyGuardForTesting(std::chrono::milliseconds guard);

} // namespace LyrafoldAlert

#pragma once

#include <QCoreApplication>
#include <QString>

// Sentences that core builds for the windows to show as they are: status texts, progress, run summaries,
// alert texts. They are written in English; a process whose windows speak another language installs a
// translator for this context (the interface's own table), and they come out in that language. Without
// one (core tests, tools) they stay English.
namespace UiText {

inline constexpr char context[] = "Lyrafold";

inline QString tr(const char *english)
{
    return QCoreApplication::translate(context, english);
}

} // namespace UiText

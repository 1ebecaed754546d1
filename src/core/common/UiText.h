#pragma once

#include <QCoreApplication>
#include <QString>

// Sentences that core builds for the windows to show as they are: status texts, progress, run summaries,
// alert texts. They are English in every interface language. A process with windows installs a
// translator for this context that answers from the interface's own table, which holds only window texts
// (labels, tool tips): a sentence here must not be one of them.
namespace UiText {

inline constexpr char context[] = "Lyrafold";

inline QString tr(const char *english)
{
    return QCoreApplication::translate(context, english);
}

} // namespace UiText

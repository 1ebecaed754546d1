#pragma once

#include "ui/services/LyrafoldHelpCatalogue.h"

class QWidget;

// The question-mark button in a window's top-trailing corner and the floating help panel it opens.
// The panel is built in the language of the moment; a language switch closes it rather than
// translating it, and the next click builds a new one.
namespace LyrafoldHelpService {

// The button is a direct child of the window's content widget (a main window's central widget, else
// the window itself); the panel is a tool window owned by the window, alive while it is open.
inline constexpr char helpButtonName[] = "lyrafoldHelpButton";
inline constexpr char helpPanelName[] = "lyrafoldHelpPanel";
// On the button: the topic it opens, as an int.
inline constexpr char topicProperty[] = "lyrafoldHelpTopic";
// How far the button reaches in from the content's trailing edge and down from its top; a window
// keeps its own controls out of that corner.
inline constexpr int cornerReach = 42;

// Puts the help button on the window once; a second call keeps the first button and its topic.
void installHelpButton(QWidget *window, LyrafoldHelpTopic topic);

} // namespace LyrafoldHelpService

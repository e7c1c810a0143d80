#pragma once

class QWidget;

namespace forms {

// With FORMS_EXIT_ON_EXPOSE set, the process prints "exposed" and quits as soon as `window`
// is first exposed on screen: the start-up benchmark times that.
void ExitOnFirstExposeIfAsked(QWidget* window);

}  // namespace forms

// Builders for the controls of a window, so that every window names, limits, labels and
// announces its controls the same way.
#pragma once

#include <initializer_list>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace forms {

// Like the platform's typing limit: stops the user typing more than `limit` characters but
// lets a longer text set by the program stand (and be shortened).
void SetTypingLimit(QLineEdit* edit, int limit);

// A text box with its label in a form row; the label is the box's buddy, so its access key
// and a screen reader lead to the box. `limit` 0: no typing limit.
QLineEdit* AddEntry(QFormLayout* form, const char* name, const char* label, int limit);
// A label for `buddy`.
// The box shows every typed character as `mask` and gives back what was typed.
void SetPasswordCharacter(QLineEdit* edit, char mask);
QLabel* MakeLabel(const char* caption, QWidget* buddy);
QCheckBox* MakeCheck(const char* name, const char* caption);
QPushButton* MakeButton(const char* name, const char* caption);
QComboBox* MakeList(const char* name);
// Items "0", "1" ... so that an item's position is its number.
void FillNumbers(QComboBox* list, int items);
QGroupBox* MakeGroup(const char* caption, const char* name);

// The Tab key walks the controls in this order.
void SetTabChain(std::initializer_list<QWidget*> controls);

// Every named control under `window` that takes focus announces a name to assistive technology:
// its own caption, else the text of the label it is the buddy of, else its control name.
// A name already set is kept.
void NameControls(QWidget* window);

}  // namespace forms

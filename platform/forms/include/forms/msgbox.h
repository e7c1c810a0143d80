// Message and input boxes with the button, icon and result numbers of the forms runtime.
#pragma once

#include <string>

#include "forms/message.h"

namespace forms {

// Shows a modal message box; an empty title means the application title.
int MsgBox(const std::string& prompt, int buttons = vbOKOnly, const std::string& title = {});

// Shows a modal input box; Cancel gives an empty text.
std::string InputBox(const std::string& prompt, const std::string& title = {},
                     const std::string& default_text = {});

// The answer a box gives when the user accepts its default button.
int DefaultAnswer(int buttons);

inline int Show(const Message& m) { return MsgBox(m.prompt, m.buttons, m.title); }

}  // namespace forms

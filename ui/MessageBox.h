// Message boxes as forms: host::MessageBox shown as a host TForm (caption, text, the buttons its
// flags ask for), so that with the window ShowModal hook it is a real window like any dialog.
#pragma once

#include <memory>
#include <string>

#include "host/Dialogs.h"
#include "host/Forms.h"

namespace ui {

// Builds the form of a message box: a label "Message" with the text (wrapped to at most about
// 400 pixels) and a row of buttons named after their captions ("OK", "Cancel", "Abort", "Retry",
// "Ignore", "Yes", "No"), the first one default; Cancel, or else the only or last button, answers
// Escape. Needs the display (the text is measured with the view's font).
std::unique_ptr<host::TForm> MakeMessageForm(const std::string& text, const std::string& caption, int flags);

// A host::MessageBox hook showing MakeMessageForm through ShowModal; returns the IDOK ... IDNO
// of the button pressed. Closing the box answers as its Escape button does.
host::TMessageBoxHook FormMessageBoxHook();

// Installs FormMessageBoxHook() when a display is available; returns whether it did.
bool InstallMessageBoxHook();

} // namespace ui

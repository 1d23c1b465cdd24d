// Putting forms on screen: the display check and the ShowModal hook that runs a form in a window.
#pragma once

#include <functional>

#include "host/Forms.h"

namespace ui {

class FormView;

// True when the view has an X display: the one $DISPLAY names is opened on the first call that
// finds it reachable and kept open for the process.
bool DisplayAvailable();
// DisplayAvailable(), throwing std::runtime_error when there is no display.
void OpenDisplay();

// A ShowModal hook that shows the form in a window and runs the modal loop until the form has a
// modal result. When script is given it runs once the window is on screen, before the loop, with
// the view to act through (tests act as the user there); the loop is skipped when the script
// ended the dialog. The script runs for every form shown while the hook is installed, including
// forms an event handler shows (a message box from FormMessageBoxHook): view.Form() tells which.
host::TShowModalHook WindowModalHook(std::function<void(FormView& view)> script = {});

// Installs WindowModalHook() as the ShowModal hook when a display is available; returns whether
// it did (without a display the hook in place stays).
bool InstallShowModalHook();

} // namespace ui

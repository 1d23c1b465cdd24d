// Acting as the user on any FLTK window: synthetic mouse and key events fed through FLTK's own
// event dispatch, so the widgets handle them as they handle real ones. FormView's drive functions
// and the tests of windows built directly with FLTK use them.
#pragma once

#include <string>

class Fl_Widget;
class Fl_Window;

namespace ui {

// A left mouse click (press and release) at x, y in window coordinates, with modifiers
// (FL_SHIFT, FL_CTRL, ...); doubleClick makes it the second click of a double click.
void SendClick(Fl_Window& window, int x, int y, int modifiers = 0, bool doubleClick = false);
// A click in the middle of widget (in its window).
void ClickWidget(Fl_Widget& widget, int modifiers = 0, bool doubleClick = false);
// A key press through the window's keyboard dispatch (to the focused widget): key is an FLTK key
// code (FL_Enter, FL_Escape, FL_Tab, FL_Down, 'a' ...).
void SendKey(Fl_Window& window, int key, int modifiers = 0);
// Types text one key press per byte (printable ASCII and '\n' as Enter).
void SendText(Fl_Window& window, const std::string& text);
// Moves the keyboard focus to widget as a click would (without clicking).
void FocusWidget(Fl_Widget& widget);

} // namespace ui

// Synthetic user input: FLTK's event state is set as the X event handler sets it, then the event
// is dispatched to the window.
#include "ui/UserInput.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

namespace ui {

namespace {

void SetMouse(const Fl_Window& window, int x, int y, int state, int clicks) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = window.x_root() + x;
    Fl::e_y_root = window.y_root() + y;
    Fl::e_state = state;
    Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
    Fl::e_clicks = clicks;
    Fl::e_is_click = 1;
    Fl::e_dx = Fl::e_dy = 0;
}

} // namespace

void SendClick(Fl_Window& window, int x, int y, int modifiers, bool doubleClick) {
    const int clicks = doubleClick ? 1 : 0;
    SetMouse(window, x, y, modifiers | FL_BUTTON1, clicks);
    Fl::handle(FL_PUSH, &window);
    SetMouse(window, x, y, modifiers, clicks);
    Fl::handle(FL_RELEASE, &window);
    Fl::e_clicks = 0;
    Fl::flush();
}

void ClickWidget(Fl_Widget& widget, int modifiers, bool doubleClick) {
    Fl_Window* window = widget.window();
    if (window == nullptr) window = widget.as_window();
    if (window == nullptr) return;
    // Window coordinates of the widget: subwindows are not used by the controls driven here.
    SendClick(*window, widget.x() + widget.w() / 2, widget.y() + widget.h() / 2, modifiers, doubleClick);
}

void SendKey(Fl_Window& window, int key, int modifiers) {
    static char text[2];
    text[0] = '\0';
    if (key == FL_Enter || key == FL_KP_Enter)
        text[0] = '\r';
    else if (key == FL_Escape)
        text[0] = '\033';
    else if (key == FL_Tab)
        text[0] = '\t';
    else if (key == FL_BackSpace)
        text[0] = '\b';
    else if (key >= ' ' && key < 0x7f && (modifiers & FL_CTRL) == 0)
        text[0] = static_cast<char>(key);
    Fl::e_keysym = key;
    Fl::e_state = modifiers;
    Fl::e_text = text;
    Fl::e_length = text[0] == '\0' ? 0 : 1;
    Fl::e_is_click = 0;
    Fl::handle(FL_KEYBOARD, &window);
    Fl::e_state = 0;
    Fl::flush();
}

void SendText(Fl_Window& window, const std::string& text) {
    for (const char c : text) {
        if (c == '\n')
            SendKey(window, FL_Enter);
        else if (c >= 'A' && c <= 'Z') {
            // Key codes are the unshifted keys; the text carries the capital.
            static char upper[2];
            upper[0] = c;
            upper[1] = '\0';
            Fl::e_keysym = c - 'A' + 'a';
            Fl::e_state = FL_SHIFT;
            Fl::e_text = upper;
            Fl::e_length = 1;
            Fl::e_is_click = 0;
            Fl::handle(FL_KEYBOARD, &window);
            Fl::e_state = 0;
            Fl::flush();
        } else
            SendKey(window, static_cast<unsigned char>(c));
    }
}

void FocusWidget(Fl_Widget& widget) {
    widget.take_focus();
    Fl::flush();
}

} // namespace ui

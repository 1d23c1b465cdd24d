// FormView's user actions: synthetic mouse and key events fed through FLTK's event dispatch, so
// the widgets handle them as they handle real ones.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <stdexcept>

#include "ui/FormView.h"
#include "ui/Widgets.h"

namespace ui {

using namespace host;

namespace {

void SetMouse(const Fl_Window& window, int x, int y, int state) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = window.x_root() + x;
    Fl::e_y_root = window.y_root() + y;
    Fl::e_state = state;
    Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
    Fl::e_clicks = 0;
    Fl::e_is_click = 1;
    Fl::e_dx = Fl::e_dy = 0;
}

} // namespace

Fl_Widget& FormView::RequireWidget(const TControl& control) const {
    Fl_Widget* widget = WidgetOf(control);
    if (widget == nullptr) throw std::invalid_argument("control '" + control.Name() + "' is not in the form");
    return *widget;
}

void FormView::ClickAt(int x, int y, int modifiers) {
    Show();
    SetMouse(*fWindow, x, y, modifiers | FL_BUTTON1);
    Fl::handle(FL_PUSH, fWindow.get());
    SetMouse(*fWindow, x, y, modifiers);
    Fl::handle(FL_RELEASE, fWindow.get());
    Fl::flush();
}

void FormView::Click(const TControl& control) {
    const Fl_Widget& widget = RequireWidget(control);
    ClickAt(widget.x() + widget.w() / 2, widget.y() + widget.h() / 2, 0);
}

void FormView::ClickItem(const TListBox& list, int index, bool ctrl, bool shift) {
    auto& widget = static_cast<detail::ListWidget&>(RequireWidget(list));
    Show();
    int x = 0, y = 0;
    if (!widget.ItemPoint(index, x, y))
        throw std::invalid_argument("list '" + list.Name() + "' has no item " + std::to_string(index) +
                                    " on screen");
    ClickAt(x, y, (ctrl ? FL_CTRL : 0) | (shift ? FL_SHIFT : 0));
}

void FormView::SelectItem(const TComboBox& combo, int index) {
    auto& widget = static_cast<detail::ComboWidget&>(RequireWidget(combo));
    if (index < 0 || index >= widget.Count())
        throw std::invalid_argument("drop-down list '" + combo.Name() + "' has no item " +
                                    std::to_string(index));
    Show();
    // What the drop-down does when an item is picked from it; a disabled or hidden list cannot
    // be opened.
    if (widget.active_r() && widget.visible_r()) widget.Pick(index);
    Fl::flush();
}

void FormView::PressKey(int key, int modifiers) {
    Show();
    static char text[2];
    text[0] = '\0';
    if (key == FL_Enter || key == FL_KP_Enter)
        text[0] = '\r';
    else if (key == FL_Escape)
        text[0] = '\033';
    else if (key == FL_Tab)
        text[0] = '\t';
    else if (key >= ' ' && key < 0x7f && (modifiers & FL_CTRL) == 0)
        text[0] = static_cast<char>(key);
    Fl::e_keysym = key;
    Fl::e_state = modifiers;
    Fl::e_text = text;
    Fl::e_length = text[0] == '\0' ? 0 : 1;
    Fl::e_is_click = 0;
    Fl::handle(FL_KEYBOARD, fWindow.get());
    Fl::e_state = 0;
    Fl::flush();
}

void FormView::CloseWindow() {
    Show();
    Fl::handle(FL_CLOSE, fWindow.get());
    Fl::flush();
}

Image FormView::Capture() {
    Show();
    fWindow->redraw();
    Fl::flush();
    return CaptureWindow(*fWindow);
}

void FormView::SaveScreenshot(const std::string& path) {
    SavePng(Capture(), path);
}

} // namespace ui

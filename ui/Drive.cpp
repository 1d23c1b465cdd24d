// FormView's user actions: synthetic mouse and key events fed through FLTK's event dispatch, so
// the widgets handle them as they handle real ones.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <stdexcept>

#include "ui/FormView.h"
#include "ui/UserInput.h"
#include "ui/Widgets.h"

namespace ui {

using namespace host;

Fl_Widget& FormView::RequireWidget(const TControl& control) const {
    Fl_Widget* widget = WidgetOf(control);
    if (widget == nullptr) throw std::invalid_argument("control '" + control.Name() + "' is not in the form");
    return *widget;
}

void FormView::ClickAt(int x, int y, int modifiers) {
    Show();
    SendClick(*fWindow, x, y, modifiers);
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
    SendKey(*fWindow, key, modifiers);
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

// A real window for a headless form: every control of a host::TForm becomes a native FLTK widget
// at the model's position and size (the window's client area is the form's client size), with
// its caption, enabled and visible state, items, selection, default/cancel role and tab order.
//
// The model stays the single source of behaviour. A widget's callback hands the user's action to
// the model's own path (TButton::Click, TListBox::ClickItem, TComboBox::SelectItem, TForm::Close)
// and then the whole view is synchronised from the model again, so whatever the event handlers
// changed (items moved between lists, enabled flags, selection, visibility, captions, controls
// added or destroyed, a modal result) shows at once. Code that changes the model outside such an
// event calls Sync().
//
// Captions: '&' underlines the next character and makes it the keyboard accelerator, as in the
// model ("&&" is a literal '&'); a label's accelerator focuses its FocusControl. Item texts of
// lists and drop-down lists are shown literally. Drop-down lists are shown as lists to pick from
// whatever the combo box style (there is no edit text).
//
// The user-action functions (Click, ClickItem, SelectItem, PressKey, CloseWindow) feed synthetic
// events through FLTK's own event dispatch, so the widgets' event handling and callbacks run as
// for a real mouse or keyboard; tests use them to act as the user.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "host/Forms.h"
#include "ui/Screenshot.h"

class Fl_Widget;
class Fl_Window;
class Fl_Group;

namespace ui {

namespace detail {
class FormWindow;
}

class FormView {
public:
    // Builds the window (not shown yet). Opens the display; throws std::runtime_error when there
    // is none (see DisplayAvailable).
    explicit FormView(host::TForm& form);
    ~FormView();
    FormView(const FormView&) = delete;
    FormView& operator=(const FormView&) = delete;

    host::TForm& Form() const { return fForm; }

    // Shows the window and waits until it is on screen; focuses the form's ActiveControl (or the
    // first control in tab order that takes the focus).
    void Show();
    void Hide();
    // Shows the window and processes events until the form is no longer shown (a modal result
    // was set, or the form was closed or hidden); hides the window and returns the form's
    // ModalResult. Closing the window is TForm::Close: a modal form gets mrCancel.
    host::TModalResult RunModal();
    // Copies the model into the widgets.
    void Sync();

    Fl_Window* Window() const;
    // The widget showing control (nullptr when control is not in the form).
    Fl_Widget* WidgetOf(const host::TControl& control) const;
    // The control a widget shows (nullptr for the window and foreign widgets).
    host::TControl* ControlOf(const Fl_Widget* widget) const;
    // The control holding the keyboard focus (nullptr when none of them does).
    host::TControl* FocusedControl() const;

    // Acting as the user. Each shows the window first when needed. Clicking a disabled or hidden
    // control does nothing, as on screen. Throw std::invalid_argument when the control is not in
    // the form or the item does not exist.
    // A left mouse click (press and release) in the middle of the control's widget.
    void Click(const host::TControl& control);
    // A left mouse click on item index of a list box (scrolled into view), with Ctrl / Shift held.
    void ClickItem(const host::TListBox& list, int index, bool ctrl = false, bool shift = false);
    // The user opens the drop-down list and picks item index.
    void SelectItem(const host::TComboBox& combo, int index);
    // A key press through the window's keyboard dispatch: key is an FLTK key code (FL_Enter,
    // FL_Escape, FL_Tab, FL_Down, 'a' ...), modifiers FL_SHIFT / FL_CTRL / FL_ALT.
    void PressKey(int key, int modifiers = 0);
    // The window manager's close button.
    void CloseWindow();

    // The window's pixels as they are on screen (drawn up to date first).
    Image Capture();
    // Capture() written as a PNG file; throws std::runtime_error when it cannot be written.
    void SaveScreenshot(const std::string& path);

private:
    enum class Kind { Label, Bevel, Button, ComboBox, ListBox, Container, Other };
    struct Binding {
        FormView* view;
        host::TControl* control;
        Kind kind;
        Fl_Widget* widget;
    };

    static Kind KindOf(const host::TControl& control);
    static void WidgetCallback(Fl_Widget* widget, void* binding);
    static void WindowCallback(Fl_Widget* window, void* view);
    Binding& Bind(host::TControl& control);
    void SyncChildren(const host::TWinControl& parent, Fl_Group& group, int originX, int originY);
    void SyncWidget(Binding& binding, int originX, int originY);
    void Unbind(const host::TControl* control);
    void Forward(Binding& binding);
    void WindowClosing();
    bool LabelShortcut();
    Fl_Widget& RequireWidget(const host::TControl& control) const;
    void ClickAt(int x, int y, int modifiers);

    host::TForm& fForm;
    std::unique_ptr<detail::FormWindow> fWindow;
    std::map<const host::TControl*, std::unique_ptr<Binding>> fBindings;
    std::set<const host::TControl*> fSeen; // controls met by the running Sync
    bool fSized = false;                   // the window has the form's size and size range
};

} // namespace ui

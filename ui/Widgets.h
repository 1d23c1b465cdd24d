// The FLTK widgets the view builds for the form model's controls. They draw the state the view
// copies into them and report what the user did through their callback; none of them decides
// anything: the model does, and the view copies the outcome back.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Widget.H>

#include <functional>
#include <string>
#include <vector>

#include "host/Forms.h"

namespace ui::detail {

// The text font and size of every control. The model's geometry is laid out for a classic
// dialog font of about 11 pixels (13-pixel labels, 21-pixel drop-down lists, captions close to
// the control they name); a condensed sans of 12 pixels has about its widths.
inline constexpr Fl_Font kTextFont = FL_FREE_FONT;
inline constexpr const char* kTextFontName = " DejaVu Sans Condensed"; // ' ': the plain style
inline constexpr int kTextSize = 12;

// The top-level window of a form. Shortcuts nobody else took go to onShortcut (label
// accelerators that focus their control).
class FormWindow : public Fl_Double_Window {
public:
    FormWindow(int w, int h);
    int handle(int event) override;
    std::function<bool()> onShortcut;
};

// Static text at the top left of its bounds; '&' underlines the next character and makes it the
// accelerator ("&&" is a literal '&').
class LabelWidget : public Fl_Box {
public:
    LabelWidget();
};

// A frame or line in the lowered style of the model's bevel shapes.
class BevelWidget : public Fl_Widget {
public:
    BevelWidget();
    void SetShape(host::TBevelShape shape);

protected:
    void draw() override;

private:
    host::TBevelShape fShape = host::bsBox;
};

// A push button. The default button answers Enter and is drawn with a dark frame; the cancel
// button answers Escape; a focused button answers Enter and Space itself.
class ButtonWidget : public Fl_Button {
public:
    ButtonWidget();
    void SetRoles(bool isDefault, bool isCancel);
    int handle(int event) override;

protected:
    void draw() override;

private:
    bool fDefault = false;
    bool fCancel = false;
};

// A drop-down list. Item texts are shown literally.
class ComboWidget : public Fl_Choice {
public:
    ComboWidget();
    void SetItems(const std::vector<std::string>& items);
    void SetIndex(int index);
    int Count() const { return static_cast<int>(fItems.size()); }
    // What the drop-down does when the user picks item index: selection, then the callback
    // when it changed.
    void Pick(int index);

private:
    std::vector<std::string> fItems;  // as the model has them
    std::vector<std::string> fLabels; // '&' doubled, so menus show it literally
    std::vector<Fl_Menu_Item> fMenu;
};

// A list box, single- or multi-select. Mouse presses on items and the navigation keys do not
// change the selection themselves: they are recorded as a click (item, Ctrl, Shift) for the
// callback to hand to the model, whose selection is then copied back.
class ListWidget : public Fl_Browser {
public:
    struct ItemClick {
        int index = -1;
        bool ctrl = false;
        bool shift = false;
    };

    ListWidget();
    void SetMultiSelect(bool multi);
    void SetItems(const std::vector<std::string>& items);
    // selected[i] for every item; current is the model's focused item (-1 none).
    void SetSelection(const std::vector<bool>& selected, int current);
    // The click the last callback reports (taken once).
    ItemClick TakeClick();
    // A point inside item index in window coordinates, scrolling it into view; false when there
    // is no such item.
    bool ItemPoint(int index, int& x, int& y);
    int handle(int event) override;

private:
    bool HandleKey();
    void Report(int index, bool ctrl, bool shift);
    std::vector<std::string> fItems;
    bool fMulti = false;
    int fCurrent = -1;
    bool fOwnPush = false; // the current mouse press was taken as an item click
    ItemClick fClick;
};

} // namespace ui::detail

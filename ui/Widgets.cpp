// The FLTK widgets of the view: drawing and the translation of raw mouse and key events into
// the user actions the form model knows.
#include "ui/Widgets.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace ui::detail {

// ---------------------------------------------------------------- FormWindow

FormWindow::FormWindow(int w, int h) : Fl_Double_Window(w, h) {
    end();
}

int FormWindow::handle(int event) {
    if (Fl_Double_Window::handle(event) != 0) return 1;
    return event == FL_SHORTCUT && onShortcut && onShortcut() ? 1 : 0;
}

// ---------------------------------------------------------------- LabelWidget

LabelWidget::LabelWidget() : Fl_Box(0, 0, 0, 0) {
    box(FL_NO_BOX);
    align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT | FL_ALIGN_NOWRAP);
    labelfont(kTextFont);
    labelsize(kTextSize);
    set_flag(SHORTCUT_LABEL);
    clear_visible_focus();
}

// ---------------------------------------------------------------- BevelWidget

BevelWidget::BevelWidget() : Fl_Widget(0, 0, 0, 0) {
    box(FL_NO_BOX);
    clear_visible_focus();
}

void BevelWidget::SetShape(host::TBevelShape shape) {
    if (shape == fShape) return;
    fShape = shape;
    redraw();
}

void BevelWidget::draw() {
    const int right = x() + w() - 1;
    const int bottom = y() + h() - 1;
    // An engraved line: shadow, then highlight one pixel further in.
    auto horizontal = [&](int yy) {
        fl_color(FL_DARK3);
        fl_xyline(x(), yy, right);
        fl_color(FL_LIGHT3);
        fl_xyline(x(), yy + 1, right);
    };
    auto vertical = [&](int xx) {
        fl_color(FL_DARK3);
        fl_yxline(xx, y(), bottom);
        fl_color(FL_LIGHT3);
        fl_yxline(xx + 1, y(), bottom);
    };
    switch (fShape) {
    case host::bsBox:
        fl_draw_box(FL_THIN_DOWN_FRAME, x(), y(), w(), h(), color());
        break;
    case host::bsFrame:
        fl_draw_box(FL_ENGRAVED_FRAME, x(), y(), w(), h(), color());
        break;
    case host::bsTopLine:
        horizontal(y());
        break;
    case host::bsBottomLine:
        horizontal(bottom - 1);
        break;
    case host::bsLeftLine:
        vertical(x());
        break;
    case host::bsRightLine:
        vertical(right - 1);
        break;
    case host::bsSpacer:
        break;
    }
}

// ---------------------------------------------------------------- ButtonWidget

ButtonWidget::ButtonWidget() : Fl_Button(0, 0, 0, 0) {
    labelfont(kTextFont);
    labelsize(kTextSize);
}

void ButtonWidget::SetRoles(bool isDefault, bool isCancel) {
    if (isDefault == fDefault && isCancel == fCancel) return;
    fDefault = isDefault;
    fCancel = isCancel;
    redraw();
}

int ButtonWidget::handle(int event) {
    const int key = Fl::event_key();
    const bool enter = key == FL_Enter || key == FL_KP_Enter;
    const bool plain = (Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META)) == 0;
    if (event == FL_KEYBOARD && enter && plain && Fl::focus() == this) {
        do_callback();
        return 1;
    }
    if (event == FL_SHORTCUT && plain && ((enter && fDefault) || (key == FL_Escape && fCancel))) {
        do_callback();
        return 1;
    }
    return Fl_Button::handle(event);
}

void ButtonWidget::draw() {
    Fl_Button::draw();
    if (fDefault) {
        fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
        fl_rect(x(), y(), w(), h());
    }
}

// ---------------------------------------------------------------- ComboWidget

ComboWidget::ComboWidget() : Fl_Choice(0, 0, 0, 0) {
    textfont(kTextFont);
    textsize(kTextSize);
    SetItems({});
}

void ComboWidget::SetItems(const std::vector<std::string>& items) {
    if (items == fItems && !fMenu.empty()) return;
    const int index = value();
    fItems = items;
    fLabels.clear();
    for (const std::string& s : items) {
        std::string label;
        for (char c : s) {
            if (c == '&') label += '&';
            label += c;
        }
        fLabels.push_back(std::move(label));
    }
    fMenu.assign(fLabels.size() + 1, Fl_Menu_Item{}); // the last one ends the menu
    for (size_t i = 0; i < fLabels.size(); ++i)
        fMenu[i].text = fLabels[i].c_str();
    menu(fMenu.data());
    SetIndex(index < Count() ? index : -1);
}

void ComboWidget::SetIndex(int index) {
    if (index < 0 || index >= Count())
        value(static_cast<const Fl_Menu_Item*>(nullptr));
    else
        value(&fMenu[static_cast<size_t>(index)]);
}

void ComboWidget::Pick(int index) {
    if (index < 0 || index >= Count()) return;
    const Fl_Menu_Item* item = &fMenu[static_cast<size_t>(index)];
    if (item != mvalue()) redraw();
    picked(item);
}

// ---------------------------------------------------------------- ListWidget

ListWidget::ListWidget() : Fl_Browser(0, 0, 0, 0) {
    type(FL_HOLD_BROWSER);
    textfont(kTextFont);
    textsize(kTextSize);
    end();
}

void ListWidget::SetMultiSelect(bool multi) {
    if (multi == fMulti) return;
    fMulti = multi;
    deselect();
    type(multi ? FL_MULTI_BROWSER : FL_HOLD_BROWSER);
}

void ListWidget::SetItems(const std::vector<std::string>& items) {
    if (items == fItems) return;
    fItems = items;
    const int scrolled = position();
    clear();
    for (const std::string& s : items)
        add(("@." + s).c_str()); // "@." ends format-code parsing: the text is shown as it is
    position(scrolled);
}

void ListWidget::SetSelection(const std::vector<bool>& selected, int current) {
    const int count = std::min(size(), static_cast<int>(selected.size()));
    if (fMulti) {
        for (int i = 0; i < count; ++i)
            select(i + 1, selected[static_cast<size_t>(i)] ? 1 : 0);
        // The last line passed to select() carries the focus box.
        if (current >= 0 && current < count)
            select(current + 1, selected[static_cast<size_t>(current)] ? 1 : 0);
    } else {
        const auto it = std::find(selected.begin(), selected.begin() + count, true);
        if (it == selected.begin() + count)
            deselect();
        else
            select(static_cast<int>(it - selected.begin()) + 1);
    }
    if (current != fCurrent && current >= 0 && current < count && !displayed(current + 1))
        make_visible(current + 1);
    fCurrent = current;
}

ListWidget::ItemClick ListWidget::TakeClick() {
    ItemClick click = fClick;
    fClick = ItemClick{};
    return click;
}

bool ListWidget::ItemPoint(int index, int& px, int& py) {
    if (index < 0 || index >= size()) return false;
    void* item = find_line(index + 1);
    // The rows of the list area showing the item: the middle of them is clicked. A row cut in
    // half by the border is scrolled fully into view first.
    auto visibleRows = [&](int& first, int& last) {
        int bx, by, bw, bh;
        bbox(bx, by, bw, bh);
        first = -1;
        last = -1;
        for (int yy = by; yy < by + bh; ++yy)
            if (find_item(yy) == item) {
                if (first < 0) first = yy;
                last = yy;
            }
        px = bx + std::min(bw / 2, 10);
        return first >= 0 ? last - first + 1 : 0;
    };
    int first, last;
    if (visibleRows(first, last) < item_height(item) - 2) {
        if (index + 1 < topline())
            topline(index + 1);
        else
            bottomline(index + 1);
        if (visibleRows(first, last) == 0) return false;
    }
    py = (first + last) / 2;
    return true;
}

void ListWidget::Report(int index, bool ctrl, bool shift) {
    fClick = ItemClick{index, ctrl && fMulti, shift && fMulti};
    do_callback();
}

bool ListWidget::HandleKey() {
    const int state = Fl::event_state();
    if ((state & (FL_ALT | FL_META)) != 0) return false;
    const int last = size() - 1;
    const int current = std::min(fCurrent, last);
    int target;
    switch (Fl::event_key()) {
    case FL_Up:
        target = std::max(current - 1, 0);
        break;
    case FL_Down:
        target = current < 0 ? 0 : std::min(current + 1, last);
        break;
    case FL_Home:
        target = 0;
        break;
    case FL_End:
        target = last;
        break;
    case ' ':
        if ((state & FL_CTRL) == 0 || current < 0) return true;
        Report(current, true, false);
        return true;
    default:
        // Typed characters stay in the list rather than pressing a button's accelerator;
        // Tab, Enter and Escape go on to the dialog.
        return Fl::event_length() > 0 && Fl::event_text()[0] >= ' ';
    }
    if (last >= 0) Report(target, false, (state & FL_SHIFT) != 0);
    return true;
}

int ListWidget::handle(int event) {
    switch (event) {
    case FL_PUSH: {
        const bool onScrollbar = (scrollbar.visible() && Fl::event_inside(&scrollbar)) ||
                                 (hscrollbar.visible() && Fl::event_inside(&hscrollbar));
        if (onScrollbar || Fl::event_button() != FL_LEFT_MOUSE) return Fl_Browser::handle(event);
        if (Fl::visible_focus() && visible_focus()) take_focus();
        fOwnPush = true;
        if (void* item = find_item(Fl::event_y()); item != nullptr)
            Report(lineno(item) - 1, (Fl::event_state() & FL_CTRL) != 0, (Fl::event_state() & FL_SHIFT) != 0);
        return 1;
    }
    case FL_DRAG:
    case FL_RELEASE:
        if (!fOwnPush) return Fl_Browser::handle(event);
        if (event == FL_RELEASE) fOwnPush = false;
        return 1;
    case FL_KEYBOARD:
        return HandleKey() ? 1 : 0;
    default:
        return Fl_Browser::handle(event);
    }
}

} // namespace ui::detail

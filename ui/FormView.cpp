// FormView: building the widgets of a form, synchronising them from the model, forwarding user
// actions to it, and the modal loop.
#include "ui/FormView.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/fl_draw.H>

#include <exception>
#include <stdexcept>
#include <vector>

#include "host/Dialogs.h"
#include "ui/ModalHook.h"
#include "ui/Widgets.h"

namespace ui {

using namespace host;

namespace {

// Sets a widget's label when it differs (FLTK keeps its own copy).
void SetLabel(Fl_Widget& widget, const std::string& text) {
    if (widget.label() != nullptr && text == widget.label()) return;
    widget.copy_label(text.c_str());
}

void SetActive(Fl_Widget& widget, bool active) {
    if (active && !widget.active())
        widget.activate();
    else if (!active && widget.active())
        widget.deactivate();
}

void SetShown(Fl_Widget& widget, bool shown) {
    if (shown && !widget.visible())
        widget.show();
    else if (!shown && widget.visible())
        widget.hide();
}

std::vector<std::string> Texts(const TStrings& strings) {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(strings.Count()));
    for (int i = 0; i < strings.Count(); ++i)
        out.push_back(strings.Strings(i));
    return out;
}

} // namespace

FormView::FormView(TForm& form) : fForm(form) {
    OpenDisplay();
    Fl_Group* const current = Fl_Group::current();
    Fl_Group::current(nullptr);
    fWindow = std::make_unique<detail::FormWindow>(std::max(form.ClientWidth(), 1),
                                                   std::max(form.ClientHeight(), 1));
    Fl_Group::current(current);
    fWindow->set_modal();
    fWindow->callback(&FormView::WindowCallback, this);
    fWindow->onShortcut = [this] { return LabelShortcut(); };
    Sync();
}

FormView::~FormView() {
    fWindow->hide();
    fWindow.reset();
    Fl::do_widget_deletion(); // widgets of controls that went away during the session
}

Fl_Window* FormView::Window() const {
    return fWindow.get();
}

FormView::Kind FormView::KindOf(const TControl& control) {
    if (dynamic_cast<const TLabel*>(&control) != nullptr) return Kind::Label;
    if (dynamic_cast<const TBevel*>(&control) != nullptr) return Kind::Bevel;
    if (dynamic_cast<const TButton*>(&control) != nullptr) return Kind::Button;
    if (dynamic_cast<const TComboBox*>(&control) != nullptr) return Kind::ComboBox;
    if (dynamic_cast<const TListBox*>(&control) != nullptr) return Kind::ListBox;
    if (dynamic_cast<const TWinControl*>(&control) != nullptr) return Kind::Container;
    return Kind::Other;
}

FormView::Binding& FormView::Bind(TControl& control) {
    const Kind kind = KindOf(control);
    if (auto it = fBindings.find(&control); it != fBindings.end()) {
        // A control destroyed and another created at the same address may be of another kind.
        if (it->second->kind == kind) return *it->second;
        Unbind(&control);
    }
    Fl_Group* const current = Fl_Group::current();
    Fl_Group::current(nullptr);
    Fl_Widget* widget = nullptr;
    switch (kind) {
    case Kind::Label:
        widget = new detail::LabelWidget();
        break;
    case Kind::Bevel:
        widget = new detail::BevelWidget();
        break;
    case Kind::Button:
        widget = new detail::ButtonWidget();
        break;
    case Kind::ComboBox:
        widget = new detail::ComboWidget();
        break;
    case Kind::ListBox:
        widget = new detail::ListWidget();
        break;
    case Kind::Container: {
        auto* group = new Fl_Group(0, 0, 0, 0);
        group->end();
        widget = group;
        break;
    }
    case Kind::Other:
        widget = new Fl_Box(0, 0, 0, 0);
        widget->labelfont(detail::kTextFont);
        widget->labelsize(detail::kTextSize);
        break;
    }
    Fl_Group::current(current);
    auto binding = std::make_unique<Binding>(Binding{this, &control, kind, widget});
    widget->callback(&FormView::WidgetCallback, binding.get());
    Binding& result = *binding;
    fBindings.emplace(&control, std::move(binding));
    return result;
}

void FormView::Unbind(const TControl* control) {
    auto it = fBindings.find(control);
    if (it == fBindings.end()) return;
    Fl_Widget* widget = it->second->widget;
    if (Fl_Group* parent = widget->parent(); parent != nullptr) parent->remove(widget);
    widget->callback(static_cast<Fl_Callback*>(nullptr));
    // Deferred: the widget may be the one whose callback is running.
    Fl::delete_widget(widget);
    fBindings.erase(it);
}

void FormView::Sync() {
    SetLabel(*fWindow, fForm.Caption());
    const int w = std::max(fForm.ClientWidth(), 1);
    const int h = std::max(fForm.ClientHeight(), 1);
    if (fWindow->w() != w || fWindow->h() != h || !fSized) {
        fWindow->size(w, h);
        // The model's geometry is absolute: the window keeps the form's size.
        fWindow->size_range(w, h, w, h);
        fSized = true;
    }
    fSeen.clear();
    SyncChildren(fForm, *fWindow, 0, 0);
    std::vector<const TControl*> gone;
    for (const auto& [control, binding] : fBindings)
        if (fSeen.count(control) == 0) gone.push_back(control);
    for (const TControl* control : gone)
        Unbind(control);
    fWindow->redraw();
}

void FormView::SyncChildren(const TWinControl& parent, Fl_Group& group, int originX, int originY) {
    // Graphic controls are drawn beneath the window controls; window controls follow in tab
    // order, which is FLTK's focus order.
    std::vector<TControl*> order;
    for (int i = 0; i < parent.ControlCount(); ++i)
        if (dynamic_cast<TWinControl*>(parent.Controls(i)) == nullptr) order.push_back(parent.Controls(i));
    for (TWinControl* control : parent.TabList())
        order.push_back(control);
    int index = 0;
    for (TControl* control : order) {
        Binding& binding = Bind(*control);
        fSeen.insert(control);
        if (group.find(binding.widget) != index) {
            if (binding.widget->parent() != nullptr) binding.widget->parent()->remove(binding.widget);
            group.insert(*binding.widget, index);
        }
        ++index;
        SyncWidget(binding, originX, originY);
        if (binding.kind == Kind::Container)
            SyncChildren(static_cast<const TWinControl&>(*control), static_cast<Fl_Group&>(*binding.widget),
                         originX + control->Left(), originY + control->Top());
    }
}

void FormView::SyncWidget(Binding& binding, int originX, int originY) {
    TControl& control = *binding.control;
    Fl_Widget& widget = *binding.widget;
    int width = control.Width();
    int height = control.Height();
    switch (binding.kind) {
    case Kind::Label: {
        SetLabel(widget, control.Caption());
        if (width <= 0 || height <= 0) { // sized by its text
            int textW = 0, textH = 0;
            fl_font(widget.labelfont(), widget.labelsize());
            fl_measure(control.Caption().c_str(), textW, textH, 0);
            if (width <= 0) width = textW;
            if (height <= 0) height = textH;
        }
        break;
    }
    case Kind::Bevel:
        static_cast<detail::BevelWidget&>(widget).SetShape(static_cast<TBevel&>(control).Shape());
        break;
    case Kind::Button: {
        const auto& button = static_cast<TButton&>(control);
        SetLabel(widget, button.Caption());
        static_cast<detail::ButtonWidget&>(widget).SetRoles(button.Default(), button.Cancel());
        break;
    }
    case Kind::ComboBox: {
        const auto& combo = static_cast<TComboBox&>(control);
        auto& choice = static_cast<detail::ComboWidget&>(widget);
        choice.SetItems(Texts(*combo.Items()));
        choice.SetIndex(combo.ItemIndex());
        break;
    }
    case Kind::ListBox: {
        const auto& list = static_cast<TListBox&>(control);
        auto& browser = static_cast<detail::ListWidget&>(widget);
        browser.SetMultiSelect(list.MultiSelect());
        browser.SetItems(Texts(*list.Items()));
        std::vector<bool> selected(static_cast<size_t>(list.Items()->Count()));
        for (int i = 0; i < list.Items()->Count(); ++i)
            selected[static_cast<size_t>(i)] = list.Selected(i);
        browser.SetSelection(selected, list.ItemIndex());
        break;
    }
    case Kind::Container:
        break;
    case Kind::Other:
        SetLabel(widget, control.Caption());
        break;
    }
    const int x = originX + control.Left();
    const int y = originY + control.Top();
    if (widget.x() != x || widget.y() != y || widget.w() != width || widget.h() != height)
        widget.resize(x, y, width, height);
    SetActive(widget, control.Enabled());
    SetShown(widget, control.Visible());
    if (const auto* win = dynamic_cast<const TWinControl*>(&control);
        win != nullptr && binding.kind != Kind::Container)
        widget.visible_focus(win->TabStop() ? 1 : 0);
}

void FormView::WidgetCallback(Fl_Widget* /*widget*/, void* binding) {
    auto* b = static_cast<Binding*>(binding);
    b->view->Forward(*b);
}

void FormView::Forward(Binding& binding) {
    // The binding may go away with its control in what follows: take what is needed first.
    TControl* const control = binding.control;
    Fl_Widget* const widget = binding.widget;
    try {
        switch (binding.kind) {
        case Kind::Button:
            static_cast<TButton*>(control)->Click();
            break;
        case Kind::ComboBox:
            if (const int index = static_cast<detail::ComboWidget*>(widget)->value(); index >= 0)
                static_cast<TComboBox*>(control)->SelectItem(index);
            break;
        case Kind::ListBox: {
            auto* list = static_cast<TListBox*>(control);
            const auto click = static_cast<detail::ListWidget*>(widget)->TakeClick();
            if (click.index >= 0 && click.index < list->Items()->Count())
                list->ClickItem(click.index, click.ctrl, click.shift);
            break;
        }
        default:
            break;
        }
    } catch (const std::exception& e) {
        // As the host application does with an exception escaping an event: show it, go on.
        host::MessageBox(e.what(), "Error", MB_OK | MB_ICONERROR);
    }
    Sync();
}

void FormView::WindowCallback(Fl_Widget* /*window*/, void* view) {
    static_cast<FormView*>(view)->WindowClosing();
}

void FormView::WindowClosing() {
    // FLTK offers an Escape nobody took to the window; only the cancel button answers it.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    fForm.Close();
    Sync();
}

bool FormView::LabelShortcut() {
    for (const auto& [control, binding] : fBindings) {
        if (binding->kind != Kind::Label || !binding->widget->active_r() || !binding->widget->visible_r())
            continue;
        const char* label = binding->widget->label();
        if (label == nullptr || Fl_Widget::test_shortcut(label) == 0) continue;
        TWinControl* target = static_cast<const TLabel*>(control)->FocusControl();
        if (target == nullptr) continue;
        if (auto it = fBindings.find(target); it != fBindings.end()) {
            it->second->widget->take_focus();
            return true;
        }
    }
    return false;
}

void FormView::Show() {
    if (fWindow->shown()) return;
    Sync();
    switch (fForm.Position()) {
    case poScreenCenter:
        fWindow->position((Fl::w() - fWindow->w()) / 2, (Fl::h() - fWindow->h()) / 2);
        break;
    case poDesigned:
        fWindow->position(fForm.Left(), fForm.Top());
        break;
    default:
        fWindow->free_position();
        break;
    }
    fWindow->border(fForm.BorderStyle() != bsNone ? 1 : 0);
    fWindow->show();
    fWindow->wait_for_expose();
    Fl_Widget* first = nullptr;
    if (TWinControl* active = fForm.ActiveControl(); active != nullptr)
        if (auto it = fBindings.find(active); it != fBindings.end()) first = it->second->widget;
    if (first == nullptr || first->take_focus() == 0)
        for (int i = 0; i < fWindow->children(); ++i)
            if (fWindow->child(i)->take_focus() != 0) break;
    Fl::flush();
}

void FormView::Hide() {
    fWindow->hide();
}

TModalResult FormView::RunModal() {
    Show();
    while (fForm.ModalResult() == mrNone && fForm.Visible()) {
        if (!fWindow->shown()) { // hidden behind our back: as if closed
            fForm.Close();
            break;
        }
        Fl::wait();
    }
    fWindow->hide();
    Fl::flush();
    return fForm.ModalResult();
}

Fl_Widget* FormView::WidgetOf(const TControl& control) const {
    const auto it = fBindings.find(&control);
    return it == fBindings.end() ? nullptr : it->second->widget;
}

TControl* FormView::ControlOf(const Fl_Widget* widget) const {
    if (widget == nullptr) return nullptr;
    for (const auto& [control, binding] : fBindings)
        if (binding->widget == widget) return binding->control;
    return nullptr;
}

TControl* FormView::FocusedControl() const {
    return ControlOf(Fl::focus());
}

} // namespace ui

// Headless forms: control state, simulated user actions, tab order, ShowModal through the hook,
// and a small dialog whose logic lives in event handlers, driven the way a user would.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/Dialogs.h"
#include "host/Forms.h"
#include "host/Streaming.h"

namespace {

using namespace host;

// Restores the global hooks a test installs.
struct HookGuard {
    TShowModalHook modal;
    TMessageBoxHook box;
    ~HookGuard() {
        SetShowModalHook(std::move(modal));
        SetMessageBoxHook(std::move(box));
    }
};

std::vector<std::string> Texts(TStrings* s) {
    std::vector<std::string> out;
    for (int i = 0; i < s->Count(); ++i)
        out.push_back(s->Strings(i));
    return out;
}

TEST(ListBoxTest, MultiSelectClicksReplaceOrToggleTheSelection) {
    TListBox box(nullptr);
    box.SetMultiSelect(true);
    for (const char* s : {"a", "b", "c", "d"})
        box.Items()->Add(s);
    int clicks = 0;
    box.SetOnClick([&](TObject*) { ++clicks; });
    box.ClickItem(1);
    box.ClickItem(3, true);
    box.ClickItem(0, true);
    EXPECT_EQ(box.SelCount(), 3);
    EXPECT_TRUE(box.Selected(0) && box.Selected(1) && box.Selected(3));
    EXPECT_EQ(box.ItemIndex(), 0);
    box.ClickItem(3, true); // toggles off
    EXPECT_FALSE(box.Selected(3));
    box.ClickItem(2); // plain click: only this one
    EXPECT_EQ(box.SelCount(), 1);
    EXPECT_TRUE(box.Selected(2));
    EXPECT_EQ(clicks, 5);
    box.SetEnabled(false);
    box.ClickItem(0);
    EXPECT_EQ(clicks, 5);
}

TEST(ListBoxTest, ShiftClickSelectsTheRangeFromTheAnchor) {
    TListBox box(nullptr);
    box.SetMultiSelect(true);
    for (const char* s : {"a", "b", "c", "d", "e", "f"})
        box.Items()->Add(s);
    auto selected = [&] {
        std::string out;
        for (int i = 0; i < box.Items()->Count(); ++i)
            out += box.Selected(i) ? box.Items()->Strings(i) : "";
        return out;
    };
    box.ClickItem(4, false, true); // no anchor yet: the item itself
    EXPECT_EQ(selected(), "e");
    box.ClickItem(1);
    box.ClickItem(3, false, true);
    EXPECT_EQ(selected(), "bcd");
    box.ClickItem(0, false, true); // the anchor stays at b; the range replaces the selection
    EXPECT_EQ(selected(), "ab");
    EXPECT_EQ(box.ItemIndex(), 0);
    box.ClickItem(5, true);       // Ctrl moves the anchor
    box.ClickItem(4, true, true); // Ctrl+Shift adds the range
    EXPECT_EQ(selected(), "abef");
    box.Items()->Insert(0, "z"); // the anchor follows its item
    box.ClickItem(4, false, true);
    EXPECT_EQ(selected(), "def");
    box.Items()->Delete(6); // the anchor's item goes: the next range starts at the click
    box.ClickItem(2, false, true);
    EXPECT_EQ(selected(), "b");

    TListBox single(nullptr);
    single.Items()->Add("x");
    single.Items()->Add("y");
    single.ClickItem(0);
    single.ClickItem(1, true, true); // a single-select list ignores the modifiers
    EXPECT_EQ(single.SelCount(), 1);
    EXPECT_TRUE(single.Selected(1));
}

TEST(ListBoxTest, SelectionFollowsItemsAsTheyAreInsertedAndDeleted) {
    TListBox box(nullptr);
    box.SetMultiSelect(true);
    for (const char* s : {"a", "b", "c"})
        box.Items()->Add(s);
    box.SetSelected(2, true);
    box.SetItemIndex(2);
    box.Items()->Insert(0, "z");
    EXPECT_TRUE(box.Selected(3));
    EXPECT_EQ(box.ItemIndex(), 3);
    box.Items()->Delete(3);
    EXPECT_EQ(box.SelCount(), 0);
    EXPECT_EQ(box.ItemIndex(), -1);
    EXPECT_THROW(box.Selected(3), EListError);
    box.SetSelected(0, true);
    box.SetSelected(1, true);
    box.SetItemIndex(1);
    box.SetMultiSelect(false);
    EXPECT_EQ(box.SelCount(), 1);
    EXPECT_TRUE(box.Selected(1));
}

TEST(ComboBoxTest, SelectingAnItemFiresChangeThenClick) {
    TComboBox combo(nullptr);
    combo.SetStyle(csDropDownList);
    combo.Items()->Add("PRIMARY");
    combo.Items()->Add("BYNAME");
    std::vector<std::string> events;
    combo.SetOnChange([&](TObject*) { events.push_back("change " + combo.Text()); });
    combo.SetOnClick([&](TObject*) { events.push_back("click"); });
    combo.SelectItem(1);
    EXPECT_EQ(events, (std::vector<std::string>{"change BYNAME", "click"}));
    combo.SetText("primary");
    EXPECT_EQ(combo.ItemIndex(), 0);
    combo.Items()->Clear();
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(combo.Text(), "");
    EXPECT_THROW(combo.SetItemIndex(0), EListError);
}

TEST(FormTest, TabOrderMovesControlsAndAppliesWhenTheParentIsSet) {
    TForm form(nullptr);
    auto* a = new TButton(&form);
    auto* b = new TButton(&form);
    auto* label = new TLabel(&form);
    a->SetParent(&form);
    b->SetParent(&form);
    label->SetParent(&form);
    EXPECT_EQ(form.ControlCount(), 3);
    EXPECT_EQ(b->TabOrder(), 1);
    b->SetTabOrder(0);
    EXPECT_EQ(a->TabOrder(), 1);
    auto* c = new TComboBox(&form);
    c->SetTabOrder(0);
    EXPECT_EQ(c->TabOrder(), -1);
    c->SetParent(&form);
    EXPECT_EQ(form.TabList(), (std::vector<TWinControl*>{c, b, a}));
    delete b;
    EXPECT_EQ(form.ControlCount(), 3);
    EXPECT_EQ(a->TabOrder(), 1);
}

TEST(FormTest, ContainerDestroyedBeforeItsChildrenLeavesThemWithoutParent) {
    auto keeper = std::make_unique<TComponent>(nullptr);
    auto* label = new TLabel(keeper.get());
    {
        TForm form(nullptr);
        label->SetParent(&form);
        EXPECT_EQ(label->ParentForm(), &form);
    }
    EXPECT_EQ(label->Parent(), nullptr);
    EXPECT_NO_THROW(label->SetParent(nullptr));
}

TEST(FormTest, ShowModalWithoutHookClosesAsCancelled) {
    HookGuard guard{SetShowModalHook(nullptr), SetMessageBoxHook(nullptr)};
    TForm form(nullptr);
    int shows = 0;
    form.SetOnShow([&](TObject*) { ++shows; });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(shows, 1);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(form.Modal());
}

TEST(FormTest, ButtonModalResultEndsTheDialogUnlessItsHandlerResetsIt) {
    HookGuard guard{SetShowModalHook(nullptr), SetMessageBoxHook(nullptr)};
    TForm form(nullptr);
    auto* ok = new TButton(&form);
    ok->SetParent(&form);
    ok->SetModalResult(mrOk);
    bool refuse = true;
    ok->SetOnClick([&](TObject*) {
        if (refuse) form.SetModalResult(mrNone);
    });
    std::vector<TModalResult> seen;
    SetShowModalHook([&](TForm& f) {
        EXPECT_TRUE(f.Modal());
        EXPECT_TRUE(f.Visible());
        ok->Click();
        seen.push_back(f.ModalResult());
        refuse = false;
        ok->Click();
        seen.push_back(f.ModalResult());
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(seen, (std::vector<TModalResult>{mrNone, mrOk}));
}

// A dialog with its logic in handlers: pick fields from a list into a bound list.
class TPickDialog : public TForm {
public:
    explicit TPickDialog(TComponent* owner) : TForm(owner) {
        SetCaption("Pick Fields");
        SetClientWidth(300);
        SetClientHeight(200);
        SetBorderStyle(bsDialog);
        auto make = [this](auto* control, const char* name, int l, int t, int w, int h) {
            control->SetName(name);
            control->SetParent(this);
            control->SetBounds(l, t, w, h);
            return control;
        };
        groups = make(new TComboBox(this), "Groups", 10, 10, 150, 21);
        groups->SetStyle(csDropDownList);
        groups->Items()->Add("Letters");
        groups->Items()->Add("Digits");
        available = make(new TListBox(this), "Available", 10, 40, 100, 80);
        add = make(new TButton(this), "AddButton", 120, 40, 60, 25);
        add->SetCaption("&Add");
        bound = make(new TListBox(this), "Bound", 190, 40, 100, 80);
        bound->SetMultiSelect(true);
        remove = make(new TButton(this), "RemoveButton", 190, 130, 60, 25);
        remove->SetCaption("&Remove");
        ok = make(new TButton(this), "OkButton", 130, 170, 75, 25);
        ok->SetCaption("OK");
        ok->SetModalResult(mrOk);
        ok->SetDefault(true);
        make(new TBevel(this), "Frame", 5, 35, 290, 125);

        groups->SetOnChange([this](TObject*) { GroupChanged(); });
        available->SetOnClick([this](TObject*) { add->SetEnabled(available->ItemIndex() >= 0); });
        add->SetOnClick([this](TObject*) {
            const int i = available->ItemIndex();
            bound->Items()->Add(available->Items()->Strings(i));
            available->Items()->Delete(i);
            add->SetEnabled(false);
        });
        bound->SetOnClick([this](TObject*) { remove->SetEnabled(bound->SelCount() > 0); });
        remove->SetOnClick([this](TObject*) {
            for (int i = bound->Items()->Count() - 1; i >= 0; --i)
                if (bound->Selected(i)) {
                    available->Items()->Add(bound->Items()->Strings(i));
                    bound->Items()->Delete(i);
                }
            remove->SetEnabled(false);
        });
        ok->SetOnClick([this](TObject*) {
            if (bound->Items()->Count() == 0) {
                MessageDlg("Pick at least one field", mtError, {mbOK}, 0);
                SetModalResult(mrNone);
            }
        });
        SetOnShow([this](TObject*) {
            groups->SetItemIndex(0);
            GroupChanged();
        });
    }

    void GroupChanged() {
        available->Items()->Clear();
        bound->Items()->Clear();
        const bool letters = groups->ItemIndex() == 0;
        for (const char* s :
             letters ? std::vector<const char*>{"A", "B", "C"} : std::vector<const char*>{"1", "2"})
            available->Items()->Add(s);
        add->SetEnabled(false);
        remove->SetEnabled(false);
    }

    TComboBox* groups;
    TListBox* available;
    TListBox* bound;
    TButton* add;
    TButton* remove;
    TButton* ok;
};

TEST(FormTest, DialogIsDrivenThroughTheModalHook) {
    HookGuard guard{SetShowModalHook(nullptr), SetMessageBoxHook(nullptr)};
    std::vector<std::string> boxes;
    SetMessageBoxHook([&](const std::string& text, const std::string& caption, int flags) {
        boxes.push_back(caption + ": " + text + (flags == (MB_OK | MB_ICONERROR) ? " [error/ok]" : ""));
        return IDOK;
    });
    TPickDialog dialog(nullptr);
    SetShowModalHook([&](TForm& f) {
        auto& d = static_cast<TPickDialog&>(f);
        EXPECT_EQ(Texts(d.available->Items()), (std::vector<std::string>{"A", "B", "C"}));
        d.ok->Click(); // nothing bound yet: refused, the dialog stays open
        EXPECT_EQ(f.ModalResult(), mrNone);
        d.groups->SelectItem(1);
        EXPECT_EQ(Texts(d.available->Items()), (std::vector<std::string>{"1", "2"}));
        EXPECT_FALSE(d.add->Enabled());
        d.add->Click(); // disabled: nothing happens
        d.available->ClickItem(1);
        ASSERT_TRUE(d.add->Enabled());
        d.add->Click();
        d.available->ClickItem(0);
        d.add->Click();
        EXPECT_EQ(Texts(d.bound->Items()), (std::vector<std::string>{"2", "1"}));
        d.bound->ClickItem(0);
        d.bound->ClickItem(1, true);
        d.remove->Click();
        EXPECT_EQ(d.bound->Items()->Count(), 0);
        d.available->ClickItem(0);
        d.add->Click();
        d.ok->Click();
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Error: Pick at least one field [error/ok]"}));
    EXPECT_EQ(Texts(dialog.bound->Items()), (std::vector<std::string>{"1"}));
}

TEST(FormTest, FormWithControlsRoundTripsThroughFormText) {
    auto owner = std::make_unique<TComponent>(nullptr);
    auto* form = new TForm(owner.get());
    form->SetName("Dialog1");
    form->SetCaption("Field Link Designer");
    form->SetClientWidth(352);
    form->SetClientHeight(265);
    form->SetBorderStyle(bsDialog);
    form->SetHelpContext(27140);
    auto* combo = new TComboBox(form);
    combo->SetName("IndexList");
    combo->SetParent(form);
    combo->SetBounds(109, 7, 192, 21);
    combo->SetStyle(csDropDownList);
    auto* list = new TListBox(form);
    list->SetName("BindList");
    list->SetParent(form);
    list->SetBounds(12, 157, 242, 56);
    list->SetMultiSelect(true);
    list->Items()->Add("A -> B");
    auto* label = new TLabel(form);
    label->SetName("IndexLabel");
    label->SetParent(form);
    label->SetCaption("A&vailable Indexes");
    label->SetFocusControl(combo);
    auto* button = new TButton(form);
    button->SetName("Button2");
    button->SetParent(form);
    button->SetCaption("Cancel");
    button->SetCancel(true);
    button->SetModalResult(mrCancel);
    button->SetTabOrder(0);
    auto* bevel = new TBevel(form);
    bevel->SetName("Bevel2");
    bevel->SetParent(form);
    bevel->SetVisible(false);

    const std::string text = WriteComponentToText(form);
    std::unique_ptr<TComponent> copy(ReadComponentFromText(text));
    EXPECT_EQ(WriteComponentToText(copy.get()), text);
    auto* read = dynamic_cast<TForm*>(copy.get());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->ClientWidth(), 352);
    EXPECT_EQ(read->BorderStyle(), bsDialog);
    EXPECT_EQ(read->HelpContext(), 27140);
    auto* readButton = static_cast<TButton*>(read->FindComponent("Button2"));
    EXPECT_EQ(readButton->TabOrder(), 0);
    EXPECT_EQ(readButton->ModalResult(), mrCancel);
    EXPECT_EQ(readButton->Parent(), read);
    EXPECT_EQ(static_cast<TLabel*>(read->FindComponent("IndexLabel"))->FocusControl(),
              read->FindComponent("IndexList"));
    EXPECT_TRUE(static_cast<TListBox*>(read->FindComponent("BindList"))->MultiSelect());
    EXPECT_FALSE(static_cast<TBevel*>(read->FindComponent("Bevel2"))->Visible());
    EXPECT_EQ(static_cast<TComboBox*>(read->FindComponent("IndexList"))->Left(), 109);
}

TEST(FormTest, HelpGoesThroughTheHelpHook) {
    std::vector<THelpContext> shown;
    THelpHook previous = SetHelpHook([&](THelpContext c) { shown.push_back(c); });
    ShowHelpContext(27140);
    SetHelpHook(std::move(previous));
    ShowHelpContext(1);
    EXPECT_EQ(shown, (std::vector<THelpContext>{27140}));
}

} // namespace

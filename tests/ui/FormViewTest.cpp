// The view layer on a real X server: a sample dialog shown through the ShowModal hook, driven
// through its widgets like a user, compared with the same script run on the headless model, plus
// the keyboard, the window manager's close request and a screenshot.
#include <gtest/gtest.h>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/Dialogs.h"
#include "ui/SampleDialog.h"
#include "ui/View.h"

// Xlib last: its macros (None, Status ...) must not meet the headers above.
#include <FL/x.H>

namespace {

using namespace host;
using uitest::SampleDialog;

// Restores the global hooks a test installs.
struct HookGuard {
    TShowModalHook modal = SetShowModalHook(nullptr);
    TMessageBoxHook box = SetMessageBoxHook(nullptr);
    ~HookGuard() {
        SetShowModalHook(std::move(modal));
        SetMessageBoxHook(std::move(box));
    }
};

class FormViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (ui::DisplayAvailable()) return;
        if (std::getenv("CORVANE_UI_REQUIRE_DISPLAY") != nullptr)
            FAIL() << "no X server although the test runs under xvfb-run ($DISPLAY="
                   << (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") << ")";
        GTEST_SKIP()
            << "no X server: $DISPLAY is not set or cannot be opened (install xvfb, see scripts/deps.sh, "
               "and run through ctest)";
    }

    // Runs the dialog modally in a window; script acts as the user once it is on screen.
    TModalResult RunInWindow(SampleDialog& dialog, std::function<void(ui::FormView&)> script) {
        SetShowModalHook(ui::WindowModalHook(std::move(script)));
        return dialog.ShowModal();
    }

    HookGuard guard;
    std::vector<std::string> boxes; // message boxes shown
    void CollectMessageBoxes() {
        SetMessageBoxHook([this](const std::string& text, const std::string& caption, int) {
            boxes.push_back(caption + ": " + text);
            return IDOK;
        });
    }
};

// Where screenshots go: the build folder given by the test registration, else the working dir.
std::string ScreenshotPath(const std::string& name) {
    const char* dir = std::getenv("CORVANE_UI_SCREENSHOT_DIR");
    return (std::filesystem::path(dir != nullptr ? dir : ".") / name).string();
}

// The user's actions, either on the model directly or through the window's widgets.
struct Actor {
    virtual ~Actor() = default;
    virtual void Click(TControl& c) = 0;
    virtual void ClickItem(TListBox& l, int index, bool ctrl = false, bool shift = false) = 0;
    virtual void SelectItem(TComboBox& c, int index) = 0;
};

struct ModelActor : Actor {
    void Click(TControl& c) override { c.Click(); }
    void ClickItem(TListBox& l, int index, bool ctrl, bool shift) override {
        l.ClickItem(index, ctrl, shift);
    }
    void SelectItem(TComboBox& c, int index) override { c.SelectItem(index); }
};

struct ViewActor : Actor {
    explicit ViewActor(ui::FormView& v) : view(v) {}
    void Click(TControl& c) override { view.Click(c); }
    void ClickItem(TListBox& l, int index, bool ctrl, bool shift) override {
        view.ClickItem(l, index, ctrl, shift);
    }
    void SelectItem(TComboBox& c, int index) override { view.SelectItem(c, index); }
    ui::FormView& view;
};

// A session: a refused OK, an index change, pairs added, some deleted with a multi-selection,
// one more added, OK.
void JoinSession(SampleDialog& d, Actor& user) {
    user.Click(*d.okButton); // nothing joined: refused with a message, the dialog stays
    user.SelectItem(*d.indexList, 1);
    user.Click(*d.addButton); // disabled: nothing happens
    user.ClickItem(*d.detailList, 0);
    user.ClickItem(*d.masterList, 1);
    user.Click(*d.addButton); // Company -> Company
    user.ClickItem(*d.detailList, 0);
    user.ClickItem(*d.masterList, 1);
    user.Click(*d.addButton); // City -> City
    user.ClickItem(*d.detailList, 0);
    user.ClickItem(*d.masterList, 0);
    user.Click(*d.addButton); // @Region -> CustNo
    user.ClickItem(*d.bindList, 0);
    user.ClickItem(*d.bindList, 2, false, true); // Shift: all three
    user.ClickItem(*d.bindList, 1, true);        // Ctrl: City -> City off again
    user.Click(*d.deleteButton);
    user.ClickItem(*d.detailList, 0);
    user.ClickItem(*d.masterList, 4);
    user.Click(*d.addButton); // Company -> Rep&Area
    user.Click(*d.helpButton);
    user.Click(*d.okButton);
}

// What the session leaves in the model.
std::vector<std::string> State(const SampleDialog& d) {
    auto join = [](const std::vector<std::string>& v) {
        std::string s;
        for (const std::string& t : v)
            s += t + "|";
        return s;
    };
    return {"index " + d.indexList->Text(),
            "detail " + join(SampleDialog::Texts(d.detailList->Items())),
            "master " + join(SampleDialog::Texts(d.masterList->Items())),
            "bind " + join(SampleDialog::Texts(d.bindList->Items())),
            "add " + std::to_string(d.addButton->Enabled()) + " delete " +
                std::to_string(d.deleteButton->Enabled()) + " clear " +
                std::to_string(d.clearButton->Enabled()),
            "hint " + std::to_string(d.hintLabel->Visible()),
            "result " + std::to_string(d.ModalResult())};
}

TEST_F(FormViewTest, WindowShowsEveryControlAtTheModelsGeometryAndState) {
    SampleDialog dialog(nullptr);
    std::string shot;
    const TModalResult result = RunInWindow(dialog, [&](ui::FormView& view) {
        Fl_Window* window = view.Window();
        ASSERT_TRUE(window->shown());
        EXPECT_EQ(window->w(), dialog.ClientWidth());
        EXPECT_EQ(window->h(), dialog.ClientHeight());
        XWindowAttributes attributes{};
        ASSERT_NE(XGetWindowAttributes(fl_display, fl_xid(window), &attributes), 0);
        EXPECT_EQ(attributes.width, dialog.ClientWidth()); // as the X server has it
        EXPECT_EQ(attributes.height, dialog.ClientHeight());
        EXPECT_EQ(attributes.map_state, IsViewable);
        EXPECT_STREQ(window->label(), "Join Fields");
        for (int i = 0; i < dialog.ControlCount(); ++i) {
            const TControl& c = *dialog.Controls(i);
            const Fl_Widget* w = view.WidgetOf(c);
            ASSERT_NE(w, nullptr) << c.Name();
            EXPECT_EQ(w->parent(), window) << c.Name();
            EXPECT_EQ(view.ControlOf(w), &c);
            EXPECT_EQ(w->visible() != 0, c.Visible()) << c.Name();
            EXPECT_EQ(w->active() != 0, c.Enabled()) << c.Name();
            if (c.Width() > 0) {
                EXPECT_EQ(w->x(), c.Left()) << c.Name();
                EXPECT_EQ(w->y(), c.Top()) << c.Name();
                EXPECT_EQ(w->w(), c.Width()) << c.Name();
                EXPECT_EQ(w->h(), c.Height()) << c.Name();
            }
        }
        // The label sized by its text got the size of its text.
        const Fl_Widget* hint = view.WidgetOf(*dialog.hintLabel);
        EXPECT_GT(hint->w(), 20);
        EXPECT_GT(hint->h(), 5);
        EXPECT_STREQ(view.WidgetOf(*dialog.addButton)->label(), "&Add");
        EXPECT_STREQ(view.WidgetOf(*dialog.indexLabel)->label(), "A&vailable Indexes");
        // Items and selection as in the model after OnShow.
        auto* choice = static_cast<Fl_Choice*>(view.WidgetOf(*dialog.indexList));
        EXPECT_EQ(choice->value(), 0);
        EXPECT_STREQ(choice->menu()[2].label(), "Sales && Marketing"); // shown literally
        auto* master = static_cast<Fl_Browser*>(view.WidgetOf(*dialog.masterList));
        EXPECT_EQ(master->size(), 6);
        // The focus starts on the first control in tab order.
        EXPECT_EQ(view.FocusedControl(), dialog.indexList);

        // Show more state for the picture: a join, a selection, the hint.
        view.ClickItem(*dialog.detailList, 0);
        view.ClickItem(*dialog.masterList, 0);
        view.Click(*dialog.addButton);
        view.SelectItem(*dialog.indexList, 2);
        view.ClickItem(*dialog.detailList, 1);
        view.ClickItem(*dialog.masterList, 5);
        view.Click(*dialog.addButton);
        view.ClickItem(*dialog.detailList, 0);
        view.ClickItem(*dialog.bindList, 0);
        view.Click(*dialog.helpButton);
        EXPECT_TRUE(view.WidgetOf(*dialog.hintLabel)->visible());

        const ui::Image image = view.Capture();
        ASSERT_EQ(image.width, 352);
        ASSERT_EQ(image.height, 265);
        // A list's inside is lighter than the dialog's face; the default button has a dark frame.
        const auto face = image.Pixel(30, 227);
        const auto list = image.Pixel(60, 200);
        EXPECT_GT(list.r + list.g + list.b, face.r + face.g + face.b + 60);
        const auto frame = image.Pixel(dialog.okButton->Left(), dialog.okButton->Top() + 12);
        EXPECT_LT(frame.r + frame.g + frame.b, 200);
        shot = ScreenshotPath("ui-sample-dialog.png");
        ui::SavePng(image, shot);
        std::cout << "screenshot: " << std::filesystem::absolute(shot).string() << std::endl;
        view.CloseWindow();
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_FALSE(dialog.Visible());
    EXPECT_EQ(SampleDialog::Texts(dialog.bindList->Items()),
              (std::vector<std::string>{"Rep&Area -> Rep&Area"}));
    EXPECT_GT(std::filesystem::file_size(shot), 1000u);
}

TEST_F(FormViewTest, SessionThroughTheWidgetsEndsAsTheSameSessionOnTheModel) {
    CollectMessageBoxes();
    SampleDialog headless(nullptr);
    SetShowModalHook([&](TForm&) {
        ModelActor user;
        JoinSession(headless, user);
    });
    EXPECT_EQ(headless.ShowModal(), mrOk);
    const std::vector<std::string> expected = State(headless);
    ASSERT_EQ(expected[3], "bind City -> City|Company -> Rep&Area|");
    ASSERT_EQ(boxes.size(), 1u);

    SampleDialog windowed(nullptr);
    const TModalResult result = RunInWindow(windowed, [&](ui::FormView& view) {
        ViewActor user(view);
        JoinSession(windowed, user);
        // The widgets show what the model holds.
        auto* bind = static_cast<Fl_Browser*>(view.WidgetOf(*windowed.bindList));
        ASSERT_EQ(bind->size(), 2);
        EXPECT_STREQ(bind->text(2), "@.Company -> Rep&Area");
        EXPECT_EQ(view.WidgetOf(*windowed.addButton)->active(), 0);
        EXPECT_NE(view.WidgetOf(*windowed.clearButton)->active(), 0);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(State(windowed), expected);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Error: Join at least one pair of fields",
                                               "Error: Join at least one pair of fields"}));
}

TEST_F(FormViewTest, KeyboardFollowsTabOrderDefaultCancelAndAccelerators) {
    CollectMessageBoxes();
    SampleDialog dialog(nullptr);
    dialog.SetActiveControl(dialog.detailList);
    const TModalResult result = RunInWindow(dialog, [&](ui::FormView& view) {
        EXPECT_EQ(view.FocusedControl(), dialog.detailList);
        // Tab walks the enabled controls in tab order (disabled ones are skipped).
        view.PressKey(FL_Tab);
        EXPECT_EQ(view.FocusedControl(), dialog.masterList);
        view.PressKey(FL_Tab);
        EXPECT_EQ(view.FocusedControl(), dialog.bindList);
        view.PressKey(FL_Tab);
        EXPECT_EQ(view.FocusedControl(), dialog.okButton);
        view.PressKey(FL_Tab, FL_SHIFT);
        EXPECT_EQ(view.FocusedControl(), dialog.bindList);
        view.PressKey(FL_Tab);
        // A changed tab order shows after Sync: Help is first now, after the wrap.
        dialog.helpButton->SetTabOrder(0);
        view.Sync();
        view.PressKey(FL_Tab);
        EXPECT_EQ(view.FocusedControl(), dialog.cancelButton);
        view.PressKey(FL_Tab);
        EXPECT_EQ(view.FocusedControl(), dialog.helpButton);
        view.PressKey(FL_Tab);
        EXPECT_EQ(view.FocusedControl(), dialog.indexList);
        // A label's accelerator focuses its control; arrows move in the list through the model.
        view.PressKey('e', FL_ALT);
        EXPECT_EQ(view.FocusedControl(), dialog.detailList);
        view.PressKey('m', FL_ALT);
        EXPECT_EQ(view.FocusedControl(), dialog.masterList);
        view.PressKey(FL_Down);
        view.PressKey(FL_Down);
        view.PressKey(FL_Up);
        EXPECT_EQ(dialog.masterList->ItemIndex(), 0);
        EXPECT_TRUE(dialog.masterList->Selected(0));
        view.ClickItem(*dialog.detailList, 0);
        EXPECT_TRUE(dialog.addButton->Enabled());
        // A button's accelerator clicks it.
        view.PressKey('a', FL_ALT);
        EXPECT_EQ(dialog.bindList->Items()->Count(), 1);
        // Escape presses Cancel only when it is there; Enter presses the default button.
        dialog.cancelButton->SetCancel(false);
        view.Sync();
        view.PressKey(FL_Escape);
        EXPECT_EQ(dialog.ModalResult(), mrNone);
        dialog.cancelButton->SetCancel(true);
        view.Sync();
        dialog.bindList->Items()->Clear();
        view.Sync();
        view.PressKey(FL_Enter); // OK refused: nothing joined
        EXPECT_EQ(dialog.ModalResult(), mrNone);
        EXPECT_EQ(boxes.size(), 1u);
        view.PressKey(FL_Escape);
    });
    EXPECT_EQ(result, mrCancel);
}

TEST_F(FormViewTest, ChangesTheHandlersMakeToTheFormShowAtOnce) {
    CollectMessageBoxes();
    SampleDialog dialog(nullptr);
    TButton* extra = nullptr;
    // Help now restructures the form: renames it, drops the bevel, adds a button, and fails.
    dialog.helpButton->SetOnClick([&](TObject*) {
        dialog.SetCaption("Join Fields (2)");
        delete dialog.bevel;
        dialog.bevel = nullptr;
        extra = new TButton(&dialog);
        extra->SetName("Extra");
        extra->SetCaption("E&xtra");
        extra->SetParent(&dialog);
        extra->SetBounds(10, 231, 60, 25);
        extra->SetModalResult(mrRetry);
        dialog.clearButton->SetVisible(false);
        throw std::runtime_error("help is not installed");
    });
    const TModalResult result = RunInWindow(dialog, [&](ui::FormView& view) {
        const int before = view.Window()->children();
        view.Click(*dialog.helpButton);
        EXPECT_EQ(boxes, (std::vector<std::string>{"Error: help is not installed"}));
        EXPECT_EQ(dialog.ModalResult(), mrNone); // the dialog stays open
        EXPECT_STREQ(view.Window()->label(), "Join Fields (2)");
        EXPECT_EQ(view.Window()->children(), before); // one gone, one new
        ASSERT_NE(extra, nullptr);
        ASSERT_NE(view.WidgetOf(*extra), nullptr);
        EXPECT_EQ(view.WidgetOf(*dialog.clearButton)->visible(), 0);
        view.Click(*dialog.clearButton); // hidden: no click
        // A control moved by code outside an event shows after Sync.
        dialog.okButton->SetLeft(20);
        view.Sync();
        EXPECT_EQ(view.WidgetOf(*dialog.okButton)->x(), 20);
        view.Click(*extra);
    });
    EXPECT_EQ(result, mrRetry);
}

TEST_F(FormViewTest, ViewRejectsControlsAndItemsItDoesNotShow) {
    SampleDialog dialog(nullptr);
    TForm other(nullptr);
    auto* stranger = new TButton(&other);
    stranger->SetParent(&other);
    RunInWindow(dialog, [&](ui::FormView& view) {
        EXPECT_EQ(view.WidgetOf(*stranger), nullptr);
        EXPECT_THROW(view.Click(*stranger), std::invalid_argument);
        EXPECT_THROW(view.ClickItem(*dialog.detailList, 7), std::invalid_argument);
        EXPECT_THROW(view.SelectItem(*dialog.indexList, 3), std::invalid_argument);
        dialog.indexList->SetEnabled(false);
        view.Sync();
        view.SelectItem(*dialog.indexList, 1); // a disabled list cannot be opened
        EXPECT_EQ(dialog.indexList->ItemIndex(), 0);
        view.Click(*dialog.cancelButton);
    });
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
}

// A click and the window manager's close request sent through the X server, handled by the
// running modal loop.
TEST_F(FormViewTest, EventsFromTheServerDriveTheModalLoop) {
    SampleDialog dialog(nullptr);
    const TModalResult result = RunInWindow(dialog, [&](ui::FormView& view) {
        const ::Window xid = fl_xid(view.Window());
        const TButton& help = *dialog.helpButton;
        const int x = help.Left() + help.Width() / 2;
        const int y = help.Top() + help.Height() / 2;
        for (const int type : {ButtonPress, ButtonRelease}) {
            XEvent event{};
            event.xbutton.type = type;
            event.xbutton.display = fl_display;
            event.xbutton.window = xid;
            event.xbutton.root = RootWindow(fl_display, fl_screen);
            event.xbutton.subwindow = None;
            event.xbutton.time = CurrentTime;
            event.xbutton.x = x;
            event.xbutton.y = y;
            event.xbutton.x_root = view.Window()->x_root() + x;
            event.xbutton.y_root = view.Window()->y_root() + y;
            event.xbutton.state = type == ButtonPress ? 0 : Button1Mask;
            event.xbutton.button = Button1;
            event.xbutton.same_screen = True;
            XSendEvent(fl_display, xid, False, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask,
                       &event);
        }
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.display = fl_display;
        close.xclient.window = xid;
        close.xclient.message_type = XInternAtom(fl_display, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False));
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(fl_display, xid, False, NoEventMask, &close);
        XFlush(fl_display);
        EXPECT_FALSE(dialog.hintLabel->Visible()); // nothing handled before the loop runs
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_TRUE(dialog.hintLabel->Visible());
}

TEST_F(FormViewTest, MessageBoxesAreFormsInWindowsToo) {
    SampleDialog dialog(nullptr);
    SetMessageBoxHook(ui::FormMessageBoxHook());
    std::vector<std::string> seen;
    SetShowModalHook(ui::WindowModalHook([&](ui::FormView& view) {
        if (&view.Form() != &dialog) { // the message box the refused OK shows
            const auto* message = static_cast<TLabel*>(view.Form().FindComponent("Message"));
            seen.push_back(view.Form().Caption() + ": " + message->Caption());
            EXPECT_EQ(view.FocusedControl(), view.Form().FindComponent("OK"));
            EXPECT_EQ(view.Window()->w(), view.Form().ClientWidth());
            const std::string shot = ScreenshotPath("ui-message-box.png");
            view.SaveScreenshot(shot);
            std::cout << "screenshot: " << std::filesystem::absolute(shot).string() << std::endl;
            view.PressKey(FL_Enter);
            return;
        }
        view.Click(*dialog.okButton);
        EXPECT_EQ(dialog.ModalResult(), mrNone);
        view.Click(*dialog.cancelButton);
    }));
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(seen, (std::vector<std::string>{"Error: Join at least one pair of fields"}));

    // Each box answers with the button clicked; closing it, or Escape, answers as Cancel, or
    // else as its last button.
    auto answer = [&](int flags, const std::function<void(ui::FormView&)>& act) {
        SetShowModalHook(ui::WindowModalHook(act));
        return MessageBox("Save the changes?", "Confirm", flags);
    };
    auto click = [](const char* name) {
        return [name](ui::FormView& view) {
            view.Click(*static_cast<TControl*>(view.Form().FindComponent(name)));
        };
    };
    auto close = [](ui::FormView& view) { view.CloseWindow(); };
    auto escape = [](ui::FormView& view) { view.PressKey(FL_Escape); };
    EXPECT_EQ(answer(MB_YESNOCANCEL, click("No")), IDNO);
    EXPECT_EQ(answer(MB_ABORTRETRYIGNORE, click("Ignore")), IDIGNORE);
    EXPECT_EQ(answer(MB_YESNOCANCEL, close), IDCANCEL);
    EXPECT_EQ(answer(MB_YESNO, close), IDNO);
    EXPECT_EQ(answer(MB_OK, escape), IDOK);
    EXPECT_EQ(answer(MB_RETRYCANCEL, escape), IDCANCEL);

    // Long texts wrap; line breaks and '&' are kept.
    const std::unique_ptr<TForm> box = ui::MakeMessageForm("mSQL Error : \r\n" + std::string(60, 'x') +
                                                               " R&D " + std::string(200, 'y') + " z",
                                                           "Error", MB_OK | MB_ICONERROR);
    const std::string caption = static_cast<TLabel*>(box->FindComponent("Message"))->Caption();
    EXPECT_EQ(caption.substr(0, 13), "mSQL Error :\n");
    EXPECT_NE(caption.find(" R&&D\n"), std::string::npos) << caption;
    EXPECT_LE(box->ClientWidth(), 600);
}

} // namespace

// The field link designer in a real window on an X server: the dialog shown through the window
// ShowModal hook at its client size, a session driven through the widgets as a user would (ending
// as the same session on the headless model), and a screenshot of the open dialog.
#include <gtest/gtest.h>

#include <FL/Fl_Browser.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "design/DesignFixture.h"
#include "ui/View.h"

// Xlib last: its macros must not meet the headers above. Its mouse button numbers are named like
// the dialog's OK and Cancel buttons.
#include <FL/x.H>
#undef Button1
#undef Button2

namespace corvane::test {
namespace {

using namespace host;
using Strings = std::vector<std::string>;

// Where screenshots go: the build folder given by the test registration, else the working folder.
std::string ScreenshotPath(const std::string& name) {
    const char* dir = std::getenv("CORVANE_UI_SCREENSHOT_DIR");
    return (std::filesystem::path(dir != nullptr ? dir : ".") / name).string();
}

// The user's actions, on the model directly or through the window's widgets.
struct Actor {
    virtual ~Actor() = default;
    virtual void Click(TControl& control) = 0;
    virtual void ClickItem(TListBox& list, int index, bool ctrl = false) = 0;
    virtual void SelectItem(TComboBox& combo, int index) = 0;

    void Pick(TListBox& list, const std::string& text) {
        const int index = list.Items()->IndexOf(text);
        ASSERT_GE(index, 0) << text;
        ClickItem(list, index);
    }
    void Join(TLinkFields& d, const std::string& detail, const std::string& master) {
        Pick(*d.DetailList, detail);
        Pick(*d.MasterList, master);
        Click(*d.AddButton);
    }
};

struct ModelActor : Actor {
    void Click(TControl& control) override { control.Click(); }
    void ClickItem(TListBox& list, int index, bool ctrl = false) override { list.ClickItem(index, ctrl); }
    void SelectItem(TComboBox& combo, int index) override { combo.SelectItem(index); }
};

struct ViewActor : Actor {
    explicit ViewActor(ui::FormView& v) : view(v) {}
    void Click(TControl& control) override { view.Click(control); }
    void ClickItem(TListBox& list, int index, bool ctrl = false) override { view.ClickItem(list, index, ctrl); }
    void SelectItem(TComboBox& combo, int index) override { view.SelectItem(combo, index); }
    ui::FormView& view;
};

// A session on an index-based dialog: the index over (custno, city, orderno); a pair that leaves
// a gap (refused), the missing pair, a third pair taken away again, OK.
void IndexSession(TLinkFields& d, Actor& user) {
    const int index = d.IndexList->Items()->IndexOf("order_by_cust");
    ASSERT_GE(index, 0);
    user.SelectItem(*d.IndexList, index);
    user.Join(d, "city", "city");
    user.Click(*d.Button1); // custno is missing: refused, the dialog stays
    user.Join(d, "custno", "custno");
    user.Join(d, "orderno", "company");
    user.ClickItem(*d.BindList, 2);
    user.Click(*d.DeleteButton);
    user.Click(*d.Button1);
}

// A session on the dialog as the current host generation has it (every detail field offered).
void FieldSession(TLinkFields& d, Actor& user) {
    user.Join(d, "city", "city");
    user.Join(d, "custno", "custno");
    user.Click(*d.Button1);
}

class FieldLinkWindowTest : public DesignTest {
protected:
    void SetUp() override {
        DesignTest::SetUp();
        if (HasFatalFailure() || ui::DisplayAvailable()) return;
        if (std::getenv("CORVANE_UI_REQUIRE_DISPLAY") != nullptr)
            FAIL() << "no X server although the test runs under xvfb-run";
        GTEST_SKIP() << "no X server: $DISPLAY is not set or cannot be opened (run through ctest, which "
                        "uses xvfb-run)";
    }

    // Runs the editor with the dialog in a window; script acts as the user once it is on screen.
    void EditInWindow(TPropertyEditor& editor, std::function<void(ui::FormView&, TLinkFields&)> script) {
        SetShowModalHook(ui::WindowModalHook([&](ui::FormView& view) {
            ++dialogs;
            auto* dialog = dynamic_cast<TLinkFields*>(&view.Form());
            ASSERT_NE(dialog, nullptr);
            script(view, *dialog);
        }));
        editor.Edit();
    }

    // What the edited table holds after a session.
    Strings Settings() const {
        return {"MasterFields=" + orders->MasterFields(), "IndexName=" + orders->IndexName(),
                "IndexFieldNames=" + orders->IndexFieldNames()};
    }
    void ResetOrders() {
        orders->SetMasterFields("");
        orders->SetIndexName("");
    }
};

TEST_F(FieldLinkWindowTest, DialogOpensInAWindowOfItsClientSizeWithItsControls) {
    auto editor = IndexBasedEditor();
    std::string shot;
    EditInWindow(*editor, [&](ui::FormView& view, TLinkFields& d) {
        Fl_Window* window = view.Window();
        ASSERT_TRUE(window->shown());
        EXPECT_STREQ(window->label(), "Field Link Designer");
        XWindowAttributes attributes{};
        ASSERT_NE(XGetWindowAttributes(fl_display, fl_xid(window), &attributes), 0);
        EXPECT_EQ(attributes.width, 352);
        EXPECT_EQ(attributes.height, 265);
        EXPECT_EQ(attributes.map_state, IsViewable);
        for (TControl* c : std::vector<TControl*>{d.IndexLabel, d.IndexList, d.DetailList, d.AddButton,
                                                  d.MasterList, d.BindList, d.DeleteButton, d.ClearButton,
                                                  d.Button1, d.Button2, d.Help}) {
            const Fl_Widget* w = view.WidgetOf(*c);
            ASSERT_NE(w, nullptr) << c->Name();
            EXPECT_EQ((std::vector<int>{w->x(), w->y(), w->w(), w->h()}),
                      (std::vector<int>{c->Left(), c->Top(), c->Width(), c->Height()}))
                << c->Name();
            EXPECT_TRUE(w->visible()) << c->Name();
            EXPECT_EQ(w->active() != 0, c->Enabled()) << c->Name();
        }
        EXPECT_EQ(view.FocusedControl(), d.IndexList);

        // Some pairs, and a selection, for the picture.
        ViewActor user(view);
        user.SelectItem(*d.IndexList, d.IndexList->Items()->IndexOf("order_by_cust"));
        user.Join(d, "custno", "custno");
        user.Join(d, "city", "city");
        user.ClickItem(*d.BindList, 1);
        auto* bind = static_cast<Fl_Browser*>(view.WidgetOf(*d.BindList));
        ASSERT_EQ(bind->size(), 2);
        EXPECT_NE(view.WidgetOf(*d.DeleteButton)->active(), 0);
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"orderno"}));
        const ui::Image image = view.Capture();
        ASSERT_EQ(image.width, 352);
        ASSERT_EQ(image.height, 265);
        shot = ScreenshotPath("design-field-link-designer.png");
        ui::SavePng(image, shot);
        std::cout << "screenshot: " << std::filesystem::absolute(shot).string() << std::endl;
        view.CloseWindow();
    });
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(editor->Changed()); // closed: nothing changes
    EXPECT_EQ(orders->MasterFields(), "");
    EXPECT_GT(std::filesystem::file_size(shot), 1000u);
}

TEST_F(FieldLinkWindowTest, SessionsThroughTheWidgetsEndAsOnTheModel) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TPropertyEditor>()> editor;
        std::function<void(TLinkFields&, Actor&)> session;
        size_t boxes;
    };
    const Case cases[] = {
        {"index based", [&] { return std::unique_ptr<TPropertyEditor>(IndexBasedEditor()); }, IndexSession,
         1},
        {"registered", [&] { return EditorFor({orders}, "MasterFields"); }, FieldSession, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetOrders();
        boxes.clear();
        auto headless = c.editor();
        OnDialog([&](TLinkFields& d) {
            ModelActor user;
            c.session(d, user);
        });
        headless->Edit();
        const Strings expected = Settings();
        EXPECT_EQ(boxes.size(), c.boxes);
        EXPECT_NE(orders->MasterFields(), "");

        ResetOrders();
        boxes.clear();
        auto windowed = c.editor();
        EditInWindow(*windowed, [&](ui::FormView& view, TLinkFields& d) {
            ViewActor user(view);
            c.session(d, user);
        });
        EXPECT_EQ(Settings(), expected);
        EXPECT_EQ(boxes.size(), c.boxes);
    }
    EXPECT_EQ(Settings(), (Strings{"MasterFields=custno;city", "IndexName=", "IndexFieldNames=custno;city"}));
}

} // namespace
} // namespace corvane::test

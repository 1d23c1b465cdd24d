// The browser's window: building the widgets, wiring their callbacks to the actions, the message
// line and the wait cursor.
#include "Browser.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "host/Dialogs.h"
#include "host/SysUtils.h"
#include "ui/ModalHook.h"

namespace browse {

using namespace host;

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 664;
constexpr int kGap = 8;
constexpr int kLine = 24;

// A caption to the left of (or above) a control, in the view's font.
Fl_Box* Caption(int x, int y, int w, int h, const char* text) {
    auto* box = new Fl_Box(x, y, w, h, text);
    box->labelfont(ui::detail::kTextFont);
    box->labelsize(ui::detail::kTextSize);
    box->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    return box;
}

template <class Input>
Input* TextBox(int x, int y, int w, int h) {
    auto* input = new Input(x, y, w, h);
    input->textfont(ui::detail::kTextFont);
    input->textsize(ui::detail::kTextSize);
    return input;
}

Fl_Button* PushButton(int x, int y, int w, int h, const char* text) {
    auto* button = new Fl_Button(x, y, w, h, text);
    button->labelfont(ui::detail::kTextFont);
    button->labelsize(ui::detail::kTextSize);
    return button;
}

} // namespace

Browser::Browser(const Options& options)
    : fDatabase(std::make_unique<corvane::TmSQLDatabase>(nullptr)),
      fTable(std::make_unique<corvane::TmSQLTable>(nullptr)),
      fDetail(std::make_unique<corvane::TmSQLTable>(nullptr)),
      fSource(std::make_unique<TDataSource>(nullptr)), fDetailSource(std::make_unique<TDataSource>(nullptr)) {
    ui::OpenDisplay();
    fTable->SetDatabase(fDatabase.get());
    fDetail->SetDatabase(fDatabase.get());
    fSource->SetDataSet(fTable.get());
    fDetailSource->SetDataSet(fDetail.get());
    BuildWindow();
    // Long operations set the screen cursor: show it on the window and say so in the message line.
    fPreviousCursorHook = SetScreenCursorHook([this](TCursor cursor) {
        SetBusy(cursor != crDefault);
        if (fPreviousCursorHook) fPreviousCursorHook(cursor);
    });
    Connect(options);
}

Browser::~Browser() {
    SetScreenCursorHook(fPreviousCursorHook);
    fWindow->hide();
    fWindow.reset();
    Fl::do_widget_deletion();
    fDetail->Close();
    fTable->Close();
}

void Browser::BuildWindow() {
    Fl_Group* const current = Fl_Group::current();
    Fl_Group::current(nullptr);
    fWindow = std::make_unique<Fl_Double_Window>(kWidth, kHeight, "Corvane browser");
    const int left = 196;
    const int right = kWidth - kGap;

    Caption(kGap, kGap, 180, 18, "Tables");
    fTableList = new ui::detail::ListWidget();
    fTableList->resize(kGap, kGap + 20, 180, kHeight - 3 * kGap - 20 - kLine);
    fTableList->callback(
        [](Fl_Widget*, void* self) {
            auto* browser = static_cast<Browser*>(self);
            const int index = browser->fTableList->TakeClick().index;
            if (index >= 0 && index < static_cast<int>(browser->fTableNames.size()))
                browser->OpenTable(browser->fTableNames[static_cast<size_t>(index)]);
        },
        this);

    // Ordering, filter and key search.
    int y = kGap;
    Caption(left, y, 44, kLine, "Index");
    fIndexChooser = new ui::detail::ComboWidget();
    fIndexChooser->resize(left + 44, y, 170, kLine);
    fIndexChooser->callback(
        [](Fl_Widget*, void* self) {
            auto* browser = static_cast<Browser*>(self);
            browser->ChooseIndex(browser->fIndexChooser->value());
        },
        this);
    Caption(left + 226, y, 36, kLine, "Filter");
    fFilterBox = TextBox<Fl_Input>(left + 262, y, 290, kLine);
    fFilterBox->tooltip("Filter expression, e.g. city = 'Oslo' and id > 10; Enter applies");
    OnEnter(fFilterBox, [this] { ApplyFilter(fFilterBox->value()); });
    Caption(left + 564, y, 56, kLine, "Find key");
    fFindKeyBox = TextBox<Fl_Input>(left + 620, y, right - left - 620, kLine);
    fFindKeyBox->tooltip("Key values of the index in force, ';' between fields; Enter searches");
    OnEnter(fFindKeyBox, [this] { FindKey(fFindKeyBox->value()); });

    // Range on the index in force.
    y += kLine + 6;
    Caption(left, y, 44, kLine, "Range");
    fRangeFrom = TextBox<Fl_Input>(left + 44, y, 150, kLine);
    fRangeFrom->tooltip("Range start on the index in force (';' between fields, empty: open)");
    Caption(left + 200, y, 18, kLine, "to");
    fRangeTo = TextBox<Fl_Input>(left + 218, y, 150, kLine);
    fRangeTo->tooltip("Range end on the index in force (';' between fields, empty: open)");
    fRangeButton = PushButton(left + 376, y, 90, kLine, "Set range");
    OnPress(fRangeButton, [this] { ApplyRange(fRangeFrom->value(), fRangeTo->value()); });
    fNoRangeButton = PushButton(left + 472, y, 90, kLine, "All rows");
    OnPress(fNoRangeButton, [this] { CancelRange(); });
    OnEnter(fRangeTo, [this] { ApplyRange(fRangeFrom->value(), fRangeTo->value()); });

    // Navigator and the field editor of the grid's selected column.
    y += kLine + 6;
    fNavigator = new ui::DBNavigator(left, y, 300, 26);
    fNavigator->SetDataSource(fSource.get());
    fNavigator->onError = [this](const std::string& message) { ShowError(message); };
    fFieldLabel = Caption(left + 306, y, 120, 26, "");
    fFieldLabel->align(FL_ALIGN_INSIDE | FL_ALIGN_RIGHT | FL_ALIGN_CLIP);
    fFieldLabel->tooltip("The grid's selected column, edited here");
    fFieldEditor = new ui::DBEdit(left + 432, y + 1, right - left - 432, kLine);
    fFieldEditor->SetDataSource(fSource.get());
    fFieldEditor->onError = [this](const std::string& message) { ShowError(message); };

    // The grid and the memo view.
    y += 26 + 6;
    fGrid = new ui::DBGrid(left, y, right - left, 262);
    fGrid->SetDataSource(fSource.get());
    fGrid->onError = [this](const std::string& message) { ShowError(message); };
    y += 262 + 4;
    fMemoLabel = Caption(left, y, right - left, 18, "");
    fMemo = new ui::DBMemo(left, y + 18, right - left, 54);
    fMemo->SetDataSource(fSource.get());
    fMemo->onError = [this](const std::string& message) { ShowError(message); };

    // Detail grid.
    y += 18 + 54 + 8;
    Caption(left, y, 40, kLine, "Detail");
    fDetailChooser = new ui::detail::ComboWidget();
    fDetailChooser->resize(left + 40, y, 150, kLine);
    fDetailChooser->callback(
        [](Fl_Widget*, void* self) {
            auto* browser = static_cast<Browser*>(self);
            browser->DetailTableChosen(browser->fDetailChooser->value());
        },
        this);
    Caption(left + 198, y, 64, kLine, "by index");
    fDetailIndexChooser = new ui::detail::ComboWidget();
    fDetailIndexChooser->resize(left + 262, y, 160, kLine);
    Caption(left + 430, y, 90, kLine, "master fields");
    fMasterFieldsBox = TextBox<Fl_Input>(left + 520, y, 150, kLine);
    fMasterFieldsBox->tooltip("Fields of the main table whose values select the detail rows (';' between)");
    fLinkButton = PushButton(left + 678, y, right - left - 678, kLine, "Link");
    auto link = [this] {
        const int table = fDetailChooser->value();
        const int index = fDetailIndexChooser->value();
        LinkDetail(table > 0 ? fTableNames[static_cast<size_t>(table - 1)] : std::string(),
                   index >= 0 && index < static_cast<int>(fDetailIndexNames.size())
                       ? fDetailIndexNames[static_cast<size_t>(index)]
                       : std::string(),
                   fMasterFieldsBox->value());
    };
    OnPress(fLinkButton, link);
    OnEnter(fMasterFieldsBox, link);
    y += kLine + 4;
    fDetailGrid = new ui::DBGrid(left, y, right - left, 130);
    fDetailGrid->SetDataSource(fDetailSource.get());
    fDetailGrid->onError = [this](const std::string& message) { ShowError(message); };

    // Message line.
    fMessageLine = new Fl_Box(kGap, kHeight - kGap - kLine + 2, kWidth - 2 * kGap, kLine - 2);
    fMessageLine->box(FL_THIN_DOWN_BOX);
    fMessageLine->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_CLIP);
    fMessageLine->labelfont(ui::detail::kTextFont);
    fMessageLine->labelsize(ui::detail::kTextSize);

    fGrid->onColumnSelected = [this](int column) { FieldSelected(column); };
    fWindow->end();
    fWindow->callback([](Fl_Widget* window, void*) { window->hide(); });
    Fl_Group::current(current);
}

int Browser::Run() {
    fWindow->show();
    while (fWindow->shown())
        Fl::wait();
    return 0;
}

void Browser::ShowInfo(const std::string& text) {
    fMessage = text;
    fMessageIsError = false;
    fMessageLine->labelcolor(FL_FOREGROUND_COLOR);
    fMessageLine->copy_label((" " + text).c_str());
    fMessageLine->redraw();
}

void Browser::ShowError(const std::string& text) {
    // Messages of the engine use "\r\n" between their lines; one line shows them joined (after a
    // line ending in ':' with a space, else with a dash).
    std::string line;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string part = Trim(text.substr(start, end - start));
        if (!part.empty()) line += line.empty() ? part : (line.back() == ':' ? " " : " - ") + part;
        start = end + 1;
    }
    fMessage = line;
    fMessageIsError = true;
    fMessageLine->labelcolor(FL_RED);
    fMessageLine->copy_label((" " + line).c_str());
    fMessageLine->redraw();
}

void Browser::SetBusy(bool busy) {
    if (!fWindow) return;
    fWindow->cursor(busy ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
    if (busy) {
        ShowInfo("Working...");
        Fl::flush(); // the cursor and the message show before the work starts
    }
}

void Browser::OnPress(Fl_Widget* widget, std::function<void()> action) {
    fHandlers.push_back(std::make_unique<std::function<void()>>(std::move(action)));
    widget->callback([](Fl_Widget*, void* data) { (*static_cast<std::function<void()>*>(data))(); },
                     fHandlers.back().get());
}

void Browser::OnEnter(Fl_Input_* input, std::function<void()> action) {
    input->when(FL_WHEN_ENTER_KEY_ALWAYS);
    OnPress(input, std::move(action));
}

bool Browser::Attempt(const std::function<void()>& action) {
    host::Screen()->SetCursor(crSQLWait);
    const bool ok = ui::RunReported([this](const std::string& message) { ShowError(message); }, action);
    host::Screen()->SetCursor(crDefault);
    return ok;
}

} // namespace browse

// corvane-browse: a window to browse, search and edit the tables of an mSQL database with
// Corvane's components and the data-aware controls.
//
// One TmSQLDatabase; the table chosen in the list opens in a TmSQLTable shown by the grid, the
// navigator, a field editor (the grid's selected column) and a memo view (the table's first
// text column). Above the grid: the index chooser (IndexName), the filter box (Filter and
// Filtered; Enter applies, an empty text removes the filter), the find-key box (FindKey on the
// index in force; several key fields separated by ';') and a range (SetRange from / to).
// Below: a detail grid on a second table linked by MasterSource/MasterFields. Every failure goes
// to the message line at the bottom (in red); long operations show the wait cursor there.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Multiline_Input.H>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/mSQLDbTables.h"
#include "host/DB.h"
#include "host/Dialogs.h"
#include "ui/DataControls.h"
#include "ui/Widgets.h"

namespace browse {

struct Options {
    std::string database;
    std::string host; // empty: the embedded engine
};

class Browser {
public:
    // Builds the window (needs the display), connects to the database and lists its tables. A
    // failing connection is shown in the message line; the window still opens.
    explicit Browser(const Options& options);
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    Fl_Double_Window& Window() { return *fWindow; }
    // Shows the window and runs the event loop until it is closed; returns 0.
    int Run();

    // ---- what the user does (the widgets' callbacks call these; they report, never throw)
    void OpenTable(const std::string& table);
    // Index choice 0 is the table's natural order, i the (i-1)-th index name.
    void ChooseIndex(int choice);
    void ApplyFilter(const std::string& text);
    void FindKey(const std::string& text);
    void ApplyRange(const std::string& from, const std::string& to);
    void CancelRange();
    // Links the detail grid: table ordered by index (empty: no detail), its leading index fields
    // selected by the master's fields (';'-separated).
    void LinkDetail(const std::string& table, const std::string& index, const std::string& masterFields);

    // ---- state, for drivers and tests
    corvane::TmSQLDatabase& Database() { return *fDatabase; }
    corvane::TmSQLTable& Table() { return *fTable; }
    corvane::TmSQLTable& DetailTable() { return *fDetail; }
    host::TDataSet* Shown() const { return fSource->DataSet(); }
    const std::vector<std::string>& TableNames() const { return fTableNames; }
    const std::vector<std::string>& IndexChoices() const { return fIndexChoices; }
    const std::vector<std::string>& DetailIndexNames() const { return fDetailIndexNames; }
    const std::string& Message() const { return fMessage; }
    bool MessageIsError() const { return fMessageIsError; }

    // ---- widgets
    ui::detail::ListWidget& TableList() { return *fTableList; }
    ui::detail::ComboWidget& IndexChooser() { return *fIndexChooser; }
    Fl_Input& FilterBox() { return *fFilterBox; }
    Fl_Input& FindKeyBox() { return *fFindKeyBox; }
    Fl_Input& RangeFromBox() { return *fRangeFrom; }
    Fl_Input& RangeToBox() { return *fRangeTo; }
    Fl_Button& RangeButton() { return *fRangeButton; }
    Fl_Button& NoRangeButton() { return *fNoRangeButton; }
    ui::DBGrid& Grid() { return *fGrid; }
    ui::DBNavigator& Navigator() { return *fNavigator; }
    ui::DBEdit& FieldEditor() { return *fFieldEditor; }
    ui::DBMemo& Memo() { return *fMemo; }
    ui::detail::ComboWidget& DetailChooser() { return *fDetailChooser; }
    ui::detail::ComboWidget& DetailIndexChooser() { return *fDetailIndexChooser; }
    Fl_Input& MasterFieldsBox() { return *fMasterFieldsBox; }
    Fl_Button& LinkButton() { return *fLinkButton; }
    ui::DBGrid& DetailGrid() { return *fDetailGrid; }
    Fl_Box& MessageLine() { return *fMessageLine; }

private:
    void BuildWindow();
    void Connect(const Options& options);
    void ListTables();
    void ShowDataSet(host::TDataSet* dataSet);
    void FieldSelected(int column);
    void DetailTableChosen(int choice);
    void ShowInfo(const std::string& text);
    void ShowError(const std::string& text);
    // Runs action with the wait cursor; a failure is shown as an error. Returns whether it ran.
    bool Attempt(const std::function<void()>& action);
    void SetBusy(bool busy);
    // Runs action when the widget's callback fires (a button press; Enter in an input).
    void OnPress(Fl_Widget* widget, std::function<void()> action);
    void OnEnter(Fl_Input_* input, std::function<void()> action);

    // Components (declared before the widgets: the widgets' links detach first).
    std::unique_ptr<corvane::TmSQLDatabase> fDatabase;
    std::unique_ptr<corvane::TmSQLTable> fTable;
    std::unique_ptr<corvane::TmSQLTable> fDetail;
    std::unique_ptr<host::TDataSource> fSource;
    std::unique_ptr<host::TDataSource> fDetailSource;
    host::TScreenCursorHook fPreviousCursorHook;
    std::vector<std::unique_ptr<std::function<void()>>> fHandlers; // the widgets' callbacks

    std::unique_ptr<Fl_Double_Window> fWindow;
    ui::detail::ListWidget* fTableList = nullptr;
    ui::detail::ComboWidget* fIndexChooser = nullptr;
    Fl_Input* fFilterBox = nullptr;
    Fl_Input* fFindKeyBox = nullptr;
    Fl_Input* fRangeFrom = nullptr;
    Fl_Input* fRangeTo = nullptr;
    Fl_Button* fRangeButton = nullptr;
    Fl_Button* fNoRangeButton = nullptr;
    ui::DBGrid* fGrid = nullptr;
    ui::DBNavigator* fNavigator = nullptr;
    Fl_Box* fFieldLabel = nullptr;
    ui::DBEdit* fFieldEditor = nullptr;
    Fl_Box* fMemoLabel = nullptr;
    ui::DBMemo* fMemo = nullptr;
    ui::detail::ComboWidget* fDetailChooser = nullptr;
    ui::detail::ComboWidget* fDetailIndexChooser = nullptr;
    Fl_Input* fMasterFieldsBox = nullptr;
    Fl_Button* fLinkButton = nullptr;
    ui::DBGrid* fDetailGrid = nullptr;
    Fl_Box* fMessageLine = nullptr;

    std::vector<std::string> fTableNames;
    std::vector<std::string> fIndexChoices;
    std::vector<std::string> fDetailIndexNames;
    std::string fMessage;
    std::string fFieldLabelText, fMemoLabelText;
    bool fMessageIsError = false;
};

} // namespace browse

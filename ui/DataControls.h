// Data-aware FLTK controls: a grid, a navigator, a one-line field editor and a memo editor. Each
// draws what its data link (DataLinks.h) holds and hands the user's actions to it; the links
// decide everything and learn about the dataset only through data events, so any
// host::TDataSet behind a host::TDataSource works in them.
//
// Errors of the dataset operations a control starts (a post the server refuses, a value that
// does not convert) go to the control's onError; without one they are shown with
// host::MessageBox. EAbort (a silent abort) is not reported.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/Fl_Scrollbar.H>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ui/DataLinks.h"

namespace ui {

using ErrorHandler = std::function<void(const std::string& message)>;

// A grid over the dataset's record window: a header with the field labels, an indicator column
// marking the current row (a triangle; a pencil while editing, an asterisk while inserting) and
// one line per buffered row, as many as fit. The vertical scroll bar shows the position by RecNo
// and RecordCount when the dataset knows them.
//
// Keys: Up/Down, Page Up/Page Down move the current row, Ctrl+Home/Ctrl+End go to the first and
// last row, Left/Right/Home/End choose the column; Enter or F2 opens the cell editor, a typed
// character opens it with that character; in the editor Enter writes the text into the field
// (the dataset enters edit mode) and Escape closes it without writing; Escape on the grid cancels
// the dataset's edit. Mouse: a click selects the row and column, a double click edits the cell,
// the wheel scrolls.
class DBGrid : public Fl_Group {
public:
    DBGrid(int x, int y, int w, int h, const char* label = nullptr);
    ~DBGrid() override;

    GridLink& Link() { return fLink; }
    void SetDataSource(host::TDataSource* source) { fLink.SetDataSource(source); }
    ErrorHandler onError;
    // Runs when the selected column changes (also when a new layout moves it).
    std::function<void(int column)> onColumnSelected;

    int SelectedColumn() const { return fColumn; }
    void SelectColumn(int column);
    // The cell editor: open on the selected column of the current row (false when the cell
    // cannot be edited), its text, writing it into the field, closing it unwritten.
    bool BeginCellEdit(const std::string* initialText = nullptr);
    bool CellEditorOpen() const;
    Fl_Input& CellEditor();
    // Writes the editor's text into the field; false when that failed (reported to onError; the
    // editor stays open).
    bool CommitCellEdit();
    void CancelCellEdit();

    // The middle of a cell in window coordinates (false when the cell is not shown).
    bool CellPoint(int row, int column, int& x, int& y) const;
    int RowHeight() const { return kRowHeight; }
    Fl_Scrollbar& ScrollBar() { return *fScrollBar; }

    int handle(int event) override;
    void resize(int x, int y, int w, int h) override;

protected:
    void draw() override;

private:
    static constexpr int kRowHeight = 20;
    static constexpr int kHeaderHeight = 22;
    static constexpr int kIndicatorWidth = 16;
    static constexpr int kScrollBarWidth = 16;

    class Editor;
    void DataChanged();
    void LayoutColumns();
    void UpdateScrollBar();
    void ScrollTo(int position);
    int RowAt(int y) const;
    int ColumnAt(int x) const;
    int ColumnX(int column) const;
    bool HandleKey();
    void Run(const std::function<void()>& action);
    void DrawIndicator(int row, int y) const;

    GridLink fLink;
    Fl_Scrollbar* fScrollBar;
    Editor* fEditor;
    std::vector<int> fWidths; // per column, pixels
    int fColumn = 0;          // selected column
    int fFirstColumn = 0;     // leftmost column shown
    int fEditColumn = -1;     // column of the open editor
    int fLaidOut = -1;        // the link's LayoutSerial the widths were computed for
    bool fSyncingScrollBar = false;
};

// The navigator's buttons in a row: first, prior, next, last, insert, delete, edit, post,
// cancel, refresh, each enabled as the dataset's state and position allow.
class DBNavigator : public Fl_Group {
public:
    DBNavigator(int x, int y, int w, int h, const char* label = nullptr);
    ~DBNavigator() override;

    NavigatorLink& Link() { return fLink; }
    void SetDataSource(host::TDataSource* source) { fLink.SetDataSource(source); }
    Fl_Button& Button(NavigateButton button) { return *fButtons[button]; }
    ErrorHandler onError;

private:
    static void ButtonCallback(Fl_Widget* widget, void* navigator);
    void UpdateButtons();

    NavigatorLink fLink;
    std::array<Fl_Button*, kNavigateButtons> fButtons{};
};

// A one-line editor of a field of the current row. Typing asks the dataset to edit first (a
// read-only field or dataset refuses the key); the text is written into the field when the
// dataset posts, on Enter, or when the editor loses the focus; Escape restores the field's value.
class DBEdit : public Fl_Input {
public:
    DBEdit(int x, int y, int w, int h, const char* label = nullptr);
    ~DBEdit() override;

    FieldLink& Link() { return fLink; }
    void SetDataSource(host::TDataSource* source) { fLink.SetDataSource(source); }
    void SetFieldName(const std::string& name) { fLink.SetFieldName(name); }
    ErrorHandler onError;
    int handle(int event) override;

private:
    FieldLink fLink;
};

// A multi-line editor of a memo (or any) field of the current row, read and written whole
// through the dataset's blob stream; as DBEdit, except that Enter starts a new line.
class DBMemo : public Fl_Multiline_Input {
public:
    DBMemo(int x, int y, int w, int h, const char* label = nullptr);
    ~DBMemo() override;

    MemoLink& Link() { return fLink; }
    void SetDataSource(host::TDataSource* source) { fLink.SetDataSource(source); }
    void SetFieldName(const std::string& name) { fLink.SetFieldName(name); }
    ErrorHandler onError;
    int handle(int event) override;

private:
    MemoLink fLink;
};

// Runs action, reporting a failure to handler (host::MessageBox without one); EAbort is silent.
// Returns false when action failed.
bool RunReported(const ErrorHandler& handler, const std::function<void()>& action);

} // namespace ui

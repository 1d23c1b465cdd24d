// The data side of the data-aware controls: one host::TDataLink per control, holding what the
// control shows and turning the user's actions into dataset calls. They know no toolkit, so they
// are tested without a display; the FLTK widgets of DataControls.h draw them.
//
// Each link learns about the dataset only through data events (through the link hooks
// ActiveChanged, EditingChanged, DataSetChanged, DataSetScrolled, RecordChanged, LayoutChanged
// and UpdateData), never by polling, so any host::TDataSet works in them. After every event that
// changed what the control shows, onChange runs (the widget redraws there).
//
// Rows come from the dataset's record window: a grid's link asks for BufferCount rows and reads
// the buffered rows by moving the dataset's ActiveRecord inside the window, so a grid over a
// table of any size reads only the rows it shows.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "host/DB.h"

namespace ui {

// A data link that tells its control when what it shows changed.
class ControlLink : public host::TDataLink {
public:
    // Runs after a data event changed what the control shows.
    std::function<void()> onChange;

protected:
    void Changed() {
        if (onChange) onChange();
    }
};

// A grid: the visible fields of the dataset as columns, one row per buffered record of the
// link's window, and the active record as the current row.
class GridLink : public ControlLink {
public:
    // How a row is marked in the indicator column.
    enum class RowMark { None, Current, Editing, Inserting };

    // The rows the grid has room for (the link's BufferCount, at least 1).
    void SetVisibleRows(int rows) { SetBufferCount(rows); }
    int VisibleRows() const { return BufferCount(); }

    // The visible fields, in field order (empty while inactive).
    const std::vector<host::TField*>& Columns() const { return fColumns; }
    // Counts the column lists read (a new value means the columns may have changed).
    int LayoutSerial() const { return fLayoutSerial; }
    // Rows holding data (at most VisibleRows()).
    int Rows() const { return static_cast<int>(fCells.size()); }
    // Display text of a cell; rows and columns are 0-based.
    const std::string& Cell(int row, int column) const;
    // The row of the dataset's active record (-1 when there is none).
    int CurrentRow() const { return Rows() == 0 ? -1 : ActiveRecord(); }
    RowMark Mark(int row) const;
    // Whether the dataset stands on its first / last row as far as navigation knows.
    bool AtBof() const { return Active() && Bof(); }
    bool AtEof() const { return Active() && Eof(); }

    // User actions; dataset errors propagate.
    // Makes row the current one (moves the dataset by the difference).
    void SelectRow(int row);
    // Moves the current row by rows (negative: up); returns the rows moved.
    int Scroll(int rows) { return Active() ? MoveBy(rows) : 0; }
    // Whether the cell of column in the current row can be edited now or after Edit.
    bool CanEdit(int column) const;
    // The edit text of column in the current row (what an in-place editor starts with).
    std::string EditText(int column) const;
    // Puts the dataset into edit mode when needed and writes text to column of the current row;
    // false (nothing written) when the row cannot be edited.
    bool SetCellText(int column, const std::string& text);

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void RecordChanged(host::TField* field) override;

private:
    void ReadColumns();
    void ReadCells();
    void ReadRow(int row);
    void ReadActiveRow();

    std::vector<host::TField*> fColumns;
    std::vector<std::vector<std::string>> fCells; // [row][column]
    int fLayoutSerial = 0;
};

// The buttons of a navigator, in the order they are shown.
enum NavigateButton {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh
};
inline constexpr int kNavigateButtons = nbRefresh + 1;

// A navigator: which buttons may be pressed, from the dataset's state and position.
class NavigatorLink : public ControlLink {
public:
    NavigatorLink();
    bool Enabled(NavigateButton button) const { return fEnabled[button]; }
    // Whether Delete asks "Delete record?" first (through host::MessageBox); default true.
    // A read-only navigator only moves (the buttons follow at once).
    void SetReadOnly(bool value) {
        TDataLink::SetReadOnly(value);
        UpdateButtons();
    }
    bool ConfirmDelete() const { return fConfirmDelete; }
    void SetConfirmDelete(bool value) { fConfirmDelete = value; }
    // Runs the button's dataset operation (also when the button is disabled, as a program may);
    // dataset errors propagate. Nothing happens while inactive.
    void Click(NavigateButton button);

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void DataSetChanged() override;

private:
    void UpdateButtons();
    std::array<bool, kNavigateButtons> fEnabled{};
    bool fConfirmDelete = true;
};

// One field of the current row as text, editable: the link of a field editor. The text the
// user types is kept as pending until the dataset asks the controls for their values (Post,
// UpdateRecord, a move that posts) and is then written with TField::SetText.
class FieldLink : public ControlLink {
public:
    const std::string& FieldName() const { return fFieldName; }
    // Selects the field by name (resolved whenever the link becomes active or the layout
    // changes; an unknown name leaves Field() empty).
    void SetFieldName(const std::string& name);
    host::TField* Field() const { return fField; }
    // The text the control shows: the pending text while modified, else the field's edit text
    // while editing and its display text while browsing; empty without a field or row.
    const std::string& Text() const { return fText; }
    bool Modified() const { return fModified; }
    // Whether typing may change the field (a field, not read-only, the dataset can modify).
    bool CanModify() const;
    // Asks the dataset to edit (AutoEdit of the source); true when the link is editing now.
    bool BeginEdit();
    // The user changed the text: it becomes pending. False (nothing kept) when the link is not
    // editing; call BeginEdit first.
    bool SetEditText(const std::string& text);
    // Drops the pending text and shows the field's value again.
    void Reset();

protected:
    // The field's value as the control shows it, and storing the control's text into it.
    virtual std::string ReadText() const;
    virtual void WriteText(const std::string& text);

    void ActiveChanged() override;
    void LayoutChanged() override;
    void EditingChanged() override;
    void RecordChanged(host::TField* field) override;
    void UpdateData() override;

private:
    void FindField();
    void Load();

    std::string fFieldName;
    host::TField* fField = nullptr;
    std::string fText;
    bool fModified = false;
};

// A field editor for long texts: blob fields are read and written whole through the dataset's
// blob stream (other fields as FieldLink does).
class MemoLink : public FieldLink {
protected:
    std::string ReadText() const override;
    void WriteText(const std::string& text) override;
};

} // namespace ui

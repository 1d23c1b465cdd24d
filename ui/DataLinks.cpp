// The data links of the data-aware controls: what each control shows, read from the dataset's
// record window on data events, and the dataset calls behind the user's actions.
#include "ui/DataLinks.h"

#include <memory>

#include "host/Dialogs.h"
#include "host/Exceptions.h"

namespace ui {

using namespace host;

namespace {

// The navigator's confirmation before Delete.
constexpr const char* kDeleteRecordQuestion = "Delete record?";

// The text of a cell; a value that cannot be shown becomes a marker, so that one bad value
// does not stop the data event that is redrawing the grid.
std::string DisplayTextOf(const TField& field) {
    try {
        return field.DisplayText();
    } catch (const Exception&) {
        return "#error";
    }
}

} // namespace

// ---- GridLink

const std::string& GridLink::Cell(int row, int column) const {
    return fCells.at(static_cast<size_t>(row)).at(static_cast<size_t>(column));
}

GridLink::RowMark GridLink::Mark(int row) const {
    if (row != CurrentRow() || row < 0) return RowMark::None;
    switch (DataSource()->State()) {
    case dsEdit:
        return RowMark::Editing;
    case dsInsert:
        return RowMark::Inserting;
    default:
        return RowMark::Current;
    }
}

void GridLink::SelectRow(int row) {
    if (!Active() || row < 0 || row >= Rows()) return;
    const int distance = row - ActiveRecord();
    if (distance != 0) MoveBy(distance);
}

bool GridLink::CanEdit(int column) const {
    if (!Active() || ReadOnly() || column < 0 || column >= static_cast<int>(fColumns.size())) return false;
    const TField* field = fColumns[static_cast<size_t>(column)];
    if (field->IsBlob() || field->ReadOnly() || field->Calculated() || field->Lookup()) return false;
    return DataSet()->CanModify();
}

std::string GridLink::EditText(int column) const {
    if (!Active() || Rows() == 0 || column < 0 || column >= static_cast<int>(fColumns.size())) return {};
    return fColumns[static_cast<size_t>(column)]->Text();
}

bool GridLink::SetCellText(int column, const std::string& text) {
    if (!CanEdit(column)) return false;
    if (!Editing() && !Edit()) return false;
    fColumns[static_cast<size_t>(column)]->SetText(text);
    return true;
}

void GridLink::ActiveChanged() {
    ReadColumns();
    ReadCells();
    Changed();
}

void GridLink::EditingChanged() {
    // The row marks follow the state; the rows themselves come with the record events.
    Changed();
}

void GridLink::LayoutChanged() {
    ReadColumns();
    ReadCells();
    Changed();
}

void GridLink::DataSetChanged() {
    ReadCells();
    Changed();
}

void GridLink::DataSetScrolled(int /*distance*/) {
    ReadCells();
    Changed();
}

void GridLink::RecordChanged(TField* field) {
    // A field write changes only the active row; a record change may have moved the window.
    if (field != nullptr && static_cast<int>(fCells.size()) == RecordCount())
        ReadActiveRow();
    else
        ReadCells();
    Changed();
}

void GridLink::ReadColumns() {
    ++fLayoutSerial;
    fColumns.clear();
    if (!Active()) return;
    TFields* fields = DataSet()->Fields();
    for (int i = 0; i < fields->Count(); ++i)
        if (fields->Fields(i)->Visible()) fColumns.push_back(fields->Fields(i));
}

void GridLink::ReadRow(int row) {
    std::vector<std::string>& cells = fCells[static_cast<size_t>(row)];
    cells.resize(fColumns.size());
    for (size_t c = 0; c < fColumns.size(); ++c)
        cells[c] = DisplayTextOf(*fColumns[c]);
}

void GridLink::ReadCells() {
    const int count = Active() ? RecordCount() : 0;
    fCells.resize(static_cast<size_t>(count));
    if (count == 0) return;
    // Each buffered row is read by making it the dataset's active record for the moment; no
    // event is sent and the cursor does not move.
    const int saved = ActiveRecord();
    try {
        for (int row = 0; row < count; ++row) {
            SetActiveRecord(row);
            ReadRow(row);
        }
    } catch (...) {
        SetActiveRecord(saved);
        throw;
    }
    SetActiveRecord(saved);
}

void GridLink::ReadActiveRow() {
    const int row = ActiveRecord();
    if (row >= 0 && row < Rows()) ReadRow(row);
}

// ---- NavigatorLink

NavigatorLink::NavigatorLink() {
    fEnabled.fill(false);
}

void NavigatorLink::Click(NavigateButton button) {
    if (!Active()) return;
    TDataSet* dataSet = DataSet();
    switch (button) {
    case nbFirst:
        dataSet->First();
        break;
    case nbPrior:
        dataSet->Prior();
        break;
    case nbNext:
        dataSet->Next();
        break;
    case nbLast:
        dataSet->Last();
        break;
    case nbInsert:
        dataSet->Insert();
        break;
    case nbDelete:
        if (!fConfirmDelete ||
            MessageBox(kDeleteRecordQuestion, "Confirm", MB_OKCANCEL | MB_ICONQUESTION) != IDCANCEL)
            dataSet->Delete();
        break;
    case nbEdit:
        dataSet->Edit();
        break;
    case nbPost:
        dataSet->Post();
        break;
    case nbCancel:
        dataSet->Cancel();
        break;
    case nbRefresh:
        dataSet->Refresh();
        break;
    }
}

void NavigatorLink::ActiveChanged() {
    UpdateButtons();
}

void NavigatorLink::EditingChanged() {
    UpdateButtons();
}

void NavigatorLink::DataSetChanged() {
    UpdateButtons();
}

void NavigatorLink::UpdateButtons() {
    std::array<bool, kNavigateButtons> enabled{};
    if (Active()) {
        TDataSet* dataSet = DataSet();
        const bool canModify = dataSet->CanModify() && !ReadOnly();
        const bool editing = dsEditModes.Contains(dataSet->State());
        enabled[nbFirst] = enabled[nbPrior] = !dataSet->Bof();
        enabled[nbNext] = enabled[nbLast] = !dataSet->Eof();
        enabled[nbInsert] = canModify;
        enabled[nbDelete] = canModify && !dataSet->IsEmpty();
        enabled[nbEdit] = canModify && !editing && !dataSet->IsEmpty();
        enabled[nbPost] = enabled[nbCancel] = canModify && editing;
        enabled[nbRefresh] = !editing;
    }
    const bool changed = enabled != fEnabled;
    fEnabled = enabled;
    if (changed) Changed();
}

// ---- FieldLink

void FieldLink::SetFieldName(const std::string& name) {
    if (name == fFieldName) return;
    fFieldName = name;
    FindField();
    fModified = false;
    Load();
    Changed();
}

bool FieldLink::CanModify() const {
    return Active() && !ReadOnly() && fField != nullptr && !fField->ReadOnly() && !fField->Calculated() &&
           !fField->Lookup() && DataSet()->CanModify();
}

bool FieldLink::BeginEdit() {
    if (!CanModify()) return false;
    return Editing() || Edit();
}

bool FieldLink::SetEditText(const std::string& text) {
    if (!Editing() || !CanModify()) return false;
    fText = text;
    fModified = true;
    return true;
}

void FieldLink::Reset() {
    fModified = false;
    Load();
    Changed();
}

std::string FieldLink::ReadText() const {
    return Editing() ? fField->Text() : DisplayTextOf(*fField);
}

void FieldLink::WriteText(const std::string& text) {
    fField->SetText(text);
}

void FieldLink::ActiveChanged() {
    FindField();
    fModified = false;
    Load();
    Changed();
}

void FieldLink::LayoutChanged() {
    ActiveChanged();
}

void FieldLink::EditingChanged() {
    // Entering edit mode switches from the display text to the edit text.
    if (!fModified) Load();
    Changed();
}

void FieldLink::RecordChanged(TField* field) {
    if (field != nullptr && field != fField) return;
    fModified = false;
    Load();
    Changed();
}

void FieldLink::UpdateData() {
    if (!fModified || fField == nullptr) return;
    WriteText(fText);
    fModified = false;
}

void FieldLink::FindField() {
    fField = Active() && !fFieldName.empty() ? DataSet()->FindField(fFieldName) : nullptr;
}

void FieldLink::Load() {
    if (fModified) return;
    if (fField == nullptr || !Active() || DataSet()->IsEmpty())
        fText.clear();
    else
        fText = ReadText();
}

// ---- MemoLink

std::string MemoLink::ReadText() const {
    TField* field = Field();
    if (!field->IsBlob()) return FieldLink::ReadText();
    std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(field, bmRead);
    std::string text(static_cast<size_t>(stream->Size()), '\0');
    if (!text.empty()) stream->ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    return text;
}

void MemoLink::WriteText(const std::string& text) {
    TField* field = Field();
    if (!field->IsBlob()) {
        FieldLink::WriteText(text);
        return;
    }
    std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(field, bmWrite);
    if (!text.empty()) stream->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

} // namespace ui

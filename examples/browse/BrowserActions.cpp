// The browser's actions: connecting, opening tables, ordering, filtering, key searches, ranges
// and the detail link, each through the components and reported in the message line.
#include <FL/Fl.H>

#include <string>
#include <vector>

#include "Browser.h"
#include "host/Strings.h"
#include "host/SysUtils.h"

namespace browse {

using namespace host;

namespace {

// The values of a key typed as text, ';' between fields (spaces around each are dropped).
std::vector<Variant> KeyValues(const std::string& text) {
    std::vector<Variant> values;
    if (Trim(text).empty()) return values;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(';', start);
        values.emplace_back(
            Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start)));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return values;
}

std::vector<std::string> Texts(TStrings& strings) {
    std::vector<std::string> texts;
    for (int i = 0; i < strings.Count(); ++i)
        texts.push_back(strings.Strings(i));
    return texts;
}

std::string RowCountText(TDataSet& dataSet) {
    const int count = dataSet.RecordCount();
    return count < 0 ? std::string() : std::to_string(count) + (count == 1 ? " row" : " rows");
}

} // namespace

void Browser::Connect(const Options& options) {
    Attempt([&] {
        fDatabase->SetDatabaseName(options.database);
        fDatabase->SetHost(options.host);
        fDatabase->SetLoginPrompt(false);
        fDatabase->Open();
        ListTables();
        const std::string where = options.host.empty() ? "the embedded engine" : options.host;
        ShowInfo("Connected to " + options.database + " on " + where + ": " +
                 std::to_string(fTableNames.size()) + " tables. Choose a table on the left.");
    });
    fWindow->copy_label(("Corvane browser - " + options.database).c_str());
}

void Browser::ListTables() {
    TStringList list;
    fDatabase->GetTableNames(&list);
    list.Sort();
    fTableNames = Texts(list);
    fTableList->SetItems(fTableNames);
    fTableList->SetSelection(std::vector<bool>(fTableNames.size(), false), -1);
    std::vector<std::string> details{"(none)"};
    details.insert(details.end(), fTableNames.begin(), fTableNames.end());
    fDetailChooser->SetItems(details);
    fDetailChooser->SetIndex(0);
}

void Browser::ShowDataSet(TDataSet* dataSet) {
    fSource->SetDataSet(dataSet);
    // The memo view shows the first text (blob) column, when there is one.
    std::string memoField;
    if (dataSet != nullptr && dataSet->Active())
        for (int i = 0; i < dataSet->FieldCount() && memoField.empty(); ++i)
            if (dataSet->Fields()->Fields(i)->IsBlob()) memoField = dataSet->Fields()->Fields(i)->FieldName();
    fMemo->SetFieldName(memoField);
    fMemoLabelText = memoField.empty() ? "Memo: (no text column)" : "Memo: " + memoField;
    fMemoLabel->label(fMemoLabelText.c_str());
    if (memoField.empty())
        fMemo->deactivate();
    else
        fMemo->activate();
    FieldSelected(fGrid->SelectedColumn());
    fWindow->redraw();
}

void Browser::FieldSelected(int column) {
    const std::vector<TField*>& columns = fGrid->Link().Columns();
    const bool known = column >= 0 && column < static_cast<int>(columns.size());
    const std::string name = known ? columns[static_cast<size_t>(column)]->FieldName() : std::string();
    fFieldEditor->SetFieldName(name);
    fFieldLabelText = name.empty() ? std::string() : name + ":";
    fFieldLabel->label(fFieldLabelText.c_str());
    fFieldLabel->redraw();
}

void Browser::OpenTable(const std::string& table) {
    std::vector<bool> selected(fTableNames.size(), false);
    int current = -1;
    for (size_t i = 0; i < fTableNames.size(); ++i)
        if (fTableNames[i] == table) {
            selected[i] = true;
            current = static_cast<int>(i);
        }
    fTableList->SetSelection(selected, current);
    Attempt([&] {
        ShowDataSet(nullptr);
        // The detail link names fields of the old table: it goes with it.
        fDetail->Close();
        fDetail->SetMasterSource(nullptr);
        fDetail->SetMasterFields("");
        fDetailChooser->SetIndex(0);
        DetailTableChosen(0);
        fTable->Close();
        fTable->SetFiltered(false);
        fTable->SetFilter("");
        fTable->SetIndexName("");
        fTable->SetTableName(table);
        fTable->Open();
        ShowDataSet(fTable.get());
        TStringList names;
        fTable->GetIndexNames(&names);
        fIndexChoices = {"(natural order)"};
        const std::vector<std::string> indexes = Texts(names);
        fIndexChoices.insert(fIndexChoices.end(), indexes.begin(), indexes.end());
        fIndexChooser->SetItems(fIndexChoices);
        fIndexChooser->SetIndex(0);
        fFilterBox->value("");
        fFindKeyBox->value("");
        fRangeFrom->value("");
        fRangeTo->value("");
        ShowInfo("Table " + table + ": " + RowCountText(*fTable) + ", " + std::to_string(indexes.size()) +
                 " indexes.");
    });
}

void Browser::ChooseIndex(int choice) {
    if (!fTable->Active() || choice < 0 || choice >= static_cast<int>(fIndexChoices.size())) return;
    Attempt([&] {
        fTable->SetIndexName(choice == 0 ? std::string() : fIndexChoices[static_cast<size_t>(choice)]);
        ShowInfo(choice == 0 ? "Natural order."
                             : "Ordered by index " + fIndexChoices[static_cast<size_t>(choice)] + ".");
    });
    const std::string current = fTable->IndexName();
    for (size_t i = 0; i < fIndexChoices.size(); ++i)
        if ((i == 0 && current.empty()) || (i > 0 && fIndexChoices[i] == current))
            fIndexChooser->SetIndex(static_cast<int>(i));
}

void Browser::ApplyFilter(const std::string& text) {
    if (!fTable->Active() || fSource->DataSet() != fTable.get()) {
        ShowError("Open a table first.");
        return;
    }
    const bool ok = Attempt([&] {
        fTable->SetFiltered(false);
        fTable->SetFilter(text);
        fTable->SetFiltered(!Trim(text).empty());
        ShowInfo(Trim(text).empty() ? "No filter." : "Filter: " + text);
    });
    if (!ok) {
        // The text stays in the box to be corrected; the table shows all rows meanwhile.
        ui::RunReported({}, [&] {
            fTable->SetFiltered(false);
            fTable->SetFilter("");
        });
    }
}

void Browser::FindKey(const std::string& text) {
    if (!fTable->Active() || fSource->DataSet() != fTable.get()) {
        ShowError("Open a table first.");
        return;
    }
    Attempt([&] {
        if (fTable->FindKey(KeyValues(text)))
            ShowInfo("Found " + text + ".");
        else
            ShowError("No row with the key " + text + ".");
    });
}

void Browser::ApplyRange(const std::string& from, const std::string& to) {
    if (!fTable->Active() || fSource->DataSet() != fTable.get()) {
        ShowError("Open a table first.");
        return;
    }
    Attempt([&] {
        fTable->SetRange(KeyValues(from), KeyValues(to));
        ShowInfo("Range " + from + " to " + to + ": " + RowCountText(*fTable) + ".");
    });
}

void Browser::CancelRange() {
    if (!fTable->Active()) return;
    Attempt([&] {
        fTable->CancelRange();
        ShowInfo("All rows.");
    });
}

void Browser::DetailTableChosen(int choice) {
    fDetailIndexNames.clear();
    if (choice > 0 && choice <= static_cast<int>(fTableNames.size())) {
        Attempt([&] {
            // The index names of the chosen table, read from a closed table component.
            corvane::TmSQLTable probe(nullptr);
            probe.SetDatabase(fDatabase.get());
            probe.SetTableName(fTableNames[static_cast<size_t>(choice - 1)]);
            TStringList names;
            probe.GetIndexNames(&names);
            fDetailIndexNames = Texts(names);
        });
    }
    fDetailIndexChooser->SetItems(fDetailIndexNames);
    fDetailIndexChooser->SetIndex(fDetailIndexNames.empty() ? -1 : 0);
}

void Browser::LinkDetail(const std::string& table, const std::string& index,
                         const std::string& masterFields) {
    Attempt([&] {
        fDetail->Close();
        fDetail->SetMasterSource(nullptr);
        fDetail->SetMasterFields("");
        if (table.empty()) {
            ShowInfo("No detail table.");
            return;
        }
        if (fSource->DataSet() != fTable.get() || !fTable->Active())
            throw EDatabaseError("Open the master table first.");
        fDetail->SetTableName(table);
        fDetail->SetIndexName(index);
        fDetail->SetMasterFields(masterFields);
        fDetail->SetMasterSource(fSource.get());
        fDetail->Open();
        ShowInfo("Detail " + table + " by " + index + " follows " + fTable->TableName() + "." + masterFields +
                 ".");
    });
}

} // namespace browse

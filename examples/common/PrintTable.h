// A small helper the examples share: prints the rows of an open dataset as a text table, the way a
// grid would show them. Copy it along with an example, or replace it with your own grid.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/DataSet.h"
#include "host/Fields.h"

namespace example {

// The text a cell shows: NULL for a null value, memo text cut to 40 characters on one line.
inline std::string CellText(const host::TField* field) {
    if (field->IsNull()) return "NULL";
    std::string text = field->IsBlob() ? field->AsString() : field->DisplayText();
    std::replace(text.begin(), text.end(), '\n', ' ');
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return text;
}

// Prints title, then every row of dataSet from the first to the last (through its range and filter)
// with the columns named in fieldNames (';'-separated; empty: every field). The current row is kept.
inline void PrintTable(host::TDataSet& dataSet, const std::string& title,
                       const std::string& fieldNames = "") {
    std::vector<host::TField*> fields;
    if (fieldNames.empty()) {
        for (int i = 0; i < dataSet.FieldCount(); ++i)
            fields.push_back(dataSet.Fields()->Fields(i));
    } else {
        dataSet.GetFieldList(fields, fieldNames);
    }

    // Read every row first, so the columns can be sized to their widest value.
    std::vector<std::vector<std::string>> rows;
    const host::TBookmark current = dataSet.GetBookmark();
    dataSet.DisableControls();
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
        rows.emplace_back();
        for (const host::TField* field : fields)
            rows.back().push_back(CellText(field));
    }
    if (!current.empty() && dataSet.BookmarkValid(current)) dataSet.GotoBookmark(current);
    dataSet.EnableControls();

    std::vector<size_t> widths;
    for (const host::TField* field : fields)
        widths.push_back(field->FieldName().size());
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());

    auto line = [&](const std::vector<std::string>& cells, bool header) {
        std::string text = "  ";
        for (size_t c = 0; c < cells.size(); ++c) {
            const std::string padding(widths[c] - cells[c].size(), ' ');
            const bool right = !header && fields[c]->Alignment() == host::taRightJustify;
            text += (c ? " | " : "") + (right ? padding + cells[c] : cells[c] + padding);
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        std::printf("%s\n", text.c_str());
    };

    std::printf("%s (%zu row%s)\n", title.c_str(), rows.size(), rows.size() == 1 ? "" : "s");
    std::vector<std::string> names;
    std::string rule = "  ";
    for (size_t c = 0; c < fields.size(); ++c) {
        names.push_back(fields[c]->FieldName());
        rule += (c ? "-+-" : "") + std::string(widths[c], '-');
    }
    line(names, true);
    std::printf("%s\n", rule.c_str());
    for (const auto& row : rows)
        line(row, false);
    std::printf("\n");
}

} // namespace example

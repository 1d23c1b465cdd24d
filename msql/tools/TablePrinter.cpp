// Text table output of the msql monitor.
#include "tools/TablePrinter.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace msql {

namespace {

void Border(const std::vector<size_t>& widths, std::FILE* out) {
    std::fputs(" +", out);
    for (size_t w : widths) {
        std::fputs(std::string(w + 2, '-').c_str(), out);
        std::fputc('+', out);
    }
    std::fputc('\n', out);
}

void Line(const std::vector<std::string>& cells, const std::vector<size_t>& widths, std::FILE* out) {
    std::fputs(" |", out);
    for (size_t i = 0; i < cells.size(); ++i) {
        std::fprintf(out, " %-*s |", static_cast<int>(widths[i]), cells[i].c_str());
    }
    std::fputc('\n', out);
}

} // namespace

void PrintTable(m_result* result, std::FILE* out) {
    std::vector<std::string> header;
    msqlFieldSeek(result, 0);
    while (m_field* f = msqlFetchField(result))
        header.emplace_back(f->name);
    std::vector<size_t> widths;
    for (const auto& h : header)
        widths.push_back(h.size());

    std::vector<std::vector<std::string>> rows;
    msqlDataSeek(result, 0);
    while (m_row row = msqlFetchRow(result)) {
        std::vector<std::string> cells;
        for (size_t i = 0; i < header.size(); ++i) {
            cells.emplace_back(row[i] ? row[i] : "NULL");
            widths[i] = std::max(widths[i], cells.back().size());
        }
        rows.push_back(std::move(cells));
    }

    Border(widths, out);
    Line(header, widths, out);
    Border(widths, out);
    for (const auto& r : rows)
        Line(r, widths, out);
    Border(widths, out);
}

} // namespace msql

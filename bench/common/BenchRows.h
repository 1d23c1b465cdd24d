// The rows the benchmarks load: one table of six columns (int, char(20), real, money, date, time) with
// the i-th row made from i alone, so every program and every side of a comparison reads the same data.
#pragma once

#include <cstdio>
#include <string>

namespace bench {

// The mSQL C API takes non-const texts it never changes.
inline char* C(const std::string& s) {
    return const_cast<char*>(s.c_str());
}

// The column list of the benchmark table, for CREATE TABLE.
inline constexpr const char* kRowColumns =
    "(id int, name char(20), score real, price money, day date, at time)";

// The i-th row as an SQL literal.
inline std::string RowLiteral(int i) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "(%d, 'name-%06d', %d.%02d, %d.%02d, '%d-Mar-1999', '%02d:%02d:%02d')", i,
                  i, i % 1000, i % 100, i % 5000, i % 100, i % 28 + 1, i % 24, i % 60, (i * 7) % 60);
    return buf;
}

// Rows start .. end - 1 as the value list of one INSERT.
inline std::string RowLiterals(int start, int end) {
    std::string values;
    for (int i = start; i < end; ++i)
        values += (i > start ? ", " : "") + RowLiteral(i);
    return values;
}

} // namespace bench

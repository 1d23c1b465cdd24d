// Prints a stored result as the monitor's text table: a border, the column names, the rows
// (NULL shown as "NULL") and a closing border.
#pragma once

#include "msql.h"

#include <cstdio>

namespace msql {

void PrintTable(m_result* result, std::FILE* out);

} // namespace msql

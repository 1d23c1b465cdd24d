// Recursive-descent parser for the mSQL dialect: statement text to syntax tree.
#pragma once

#include "engine/Ast.h"

#include <string_view>

namespace msql {

// Parses exactly one statement. Throws Error with mSQL's syntax error text on bad input and
// the relevant mSQL message for a few structural errors (primary keys, identifier lengths).
Statement Parse(std::string_view text);

} // namespace msql

// Builds the m_result structure the C API hands out from an engine result, and frees it.
#pragma once

#include "engine/ResultSet.h"

#include "msql.h"

namespace msql {

// Converts an engine result into an m_result owned by the caller until FreeStoredResult. The
// storage is a handful of blocks per result (row nodes, row arrays, all texts), never one per
// cell; the row nodes sit in one array so that seeking is direct.
m_result* MakeStoredResult(ResultSet&& rows);
void FreeStoredResult(m_result* result);
// Positions the row cursor at row n (0-based); out of range leaves it at the end.
void SeekStoredResult(m_result* result, int n);

} // namespace msql

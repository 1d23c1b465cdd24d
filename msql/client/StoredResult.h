// Builds the m_result structure the C API hands out from an engine result, and frees it.
#pragma once

#include "engine/ResultSet.h"

#include "msql.h"

namespace msql {

// Turns an engine result (or one received from a server) into an m_result owned by the caller
// until FreeStoredResult. The rows are taken over as they are, without copying a value; a few
// blocks per result, never one allocation per row or value; seeking is direct.
m_result* MakeStoredResult(ResultSet&& rows);
void FreeStoredResult(m_result* result);
// Positions the row cursor at row n (0-based); out of range leaves it at the end.
void SeekStoredResult(m_result* result, int n);

} // namespace msql

// Design-time registration (unit mSQLCOMP): what a form designer calls when it loads Corvane.
#pragma once

namespace corvane {

// Puts the components on the palette page "Corvane", then registers the property editors.
void Register();
// The editors of the table component's "TableName", "IndexName", "IndexFieldNames",
// "MasterSource" and "MasterFields".
void RegisterPropertyEditors();

} // namespace corvane

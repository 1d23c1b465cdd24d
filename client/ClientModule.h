// Module start and stop of the client layer.
//
// Module start loads the mSQL client library (LoadmSQLLibrary) and fills the month-name table
// ShortMNames from the host's short month names; module end unloads the library and releases
// the table. A nesting counter makes every start after the first a no-op, and only the stop
// that balances the first start does the work.
//
// The start runs by itself when the code is loaded, through a static object in
// ClientModule.cpp, and the matching stop runs when the program or library is unloaded:
//   - Inside a Corvane shared library (libcorvane5.so ...) the automatic start is the full
//     module start, with the error message boxes of LoadmSQLLibrary.
//   - Linked straight into an executable (the unit tests, demos, applications that link the
//     object library), the automatic start loads quietly: a missing client library or function
//     shows no message box at program start, before the program had a chance to install its
//     message hook. The library is then simply not loaded, and the connect-time check reports
//     it. Such programs, and tests, call LoadmSQLLibrary / UnloadmSQLLibrary (or these two
//     functions) explicitly when they want the messages.
#pragma once

namespace corvane {

// Module start: the first call loads the client library and fills ShortMNames; later calls
// only count.
void InitializeClientModule();
// Module stop: the call that balances the first start unloads the library and releases
// ShortMNames; a call without a matching start does nothing.
void FinalizeClientModule();
// Number of starts not yet balanced by a stop.
int ClientModuleStartCount();

} // namespace corvane

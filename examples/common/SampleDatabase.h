// A small helper the examples share: creates an empty database on the embedded engine through the
// client library (the components have no call that creates one), replacing one left by an earlier run.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "client/msqlTypes.h"

namespace example {

// Exits the program with a message when the engine cannot be reached or the database not made.
inline void CreateDatabase(const char* name) {
    const int socket = corvane::msqlConnect("");
    if (socket < 0) {
        std::fprintf(stderr, "cannot reach the embedded engine: %s\n", corvane::msqlGetErrMsg(nullptr));
        std::exit(1);
    }
    corvane::msqlDropDB(socket, name); // a database left by an earlier run
    if (corvane::msqlCreateDB(socket, name) < 0) {
        std::fprintf(stderr, "cannot create %s: %s\n", name, corvane::msqlGetErrMsg(nullptr));
        std::exit(1);
    }
    corvane::msqlClose(socket);
}

} // namespace example

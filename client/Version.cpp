// The library's version text, compiled into every deliverable.
#include "client/Version.h"

namespace corvane {

const char* CorvaneVersion() { return CORVANE_VERSION; }

int CorvaneHostGeneration() { return CORVANE_HOST_GENERATION; }

}  // namespace corvane

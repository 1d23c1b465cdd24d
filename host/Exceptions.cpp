// Exception helpers of the host run time.
#include "host/Exceptions.h"

namespace host {

EAbort::EAbort() : Exception("Operation aborted") {}

void Abort() { throw EAbort(); }

}  // namespace host

// Exception helpers of the host run time.
#include "host/Exceptions.h"

#include "host/Component.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

EAbort::EAbort() : Exception(SOperationAborted) {}

void Abort() {
    throw EAbort();
}

void DatabaseError(const std::string& message, TComponent* component) {
    if (component != nullptr && !component->Name().empty())
        throw EDatabaseError(component->Name() + ": " + message);
    throw EDatabaseError(message);
}

void DatabaseErrorFmt(std::string_view fmt, std::initializer_list<TVarRec> args, TComponent* component) {
    DatabaseError(Format(fmt, args), component);
}

} // namespace host

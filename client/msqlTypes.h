// The client layer of Corvane (unit msqlTypes): the mSQL client ABI and its run-time binding,
// module start and stop, value text conversions, field type mapping and the owning containers.
// The rest of Corvane includes this header.
#pragma once

#include "client/ClientModule.h"
#include "client/Container.h"
#include "client/FieldMapping.h"
#include "client/ValueConversions.h"
#include "client/msqlABI.h"
#include "client/msqlBinding.h"

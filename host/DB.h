// Umbrella header of the host dataset framework: types and maps, fields, field and index
// definitions, parameters, datasets, data sources and data links.
#pragma once

#include "host/DBTypes.h"
#include "host/DataSet.h"
#include "host/DataSource.h"
#include "host/DataSources.h"
#include "host/FieldDefs.h"
#include "host/Fields.h"
#include "host/IndexDefs.h"
#include "host/Params.h"

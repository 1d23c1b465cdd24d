// The dataset components of Corvane (unit mSQLDbTables): the connection base, the database component
// with its error exception and helpers, and the components built on them. Applications include this
// header.
#pragma once

#include "components/BlobStream.h"
#include "components/ConnectionBase.h"
#include "components/DataSet.h"
#include "components/Database.h"
#include "components/Query.h"
#include "components/Table.h"
#include "components/UpdateObject.h"
#include "components/UpdateSQL.h"

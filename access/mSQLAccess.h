// The native access layer of Corvane (unit mSQLAccess): connection, native cursor, record layout,
// index, field and list cursors, result codes, the engine call surface with its message table, and the
// SQL token scanner. The components include this header.
#pragma once

#include "access/EmSQLException.h"
#include "access/Engine.h"
#include "access/EngineMessages.h"
#include "access/EngineTypes.h"
#include "access/FieldDescs.h"
#include "access/IndexDesc.h"
#include "access/Indexes.h"
#include "access/ListCursors.h"
#include "access/NativeConnect.h"
#include "access/NativeDataSet.h"
#include "access/SQLScanner.h"

// Corvane's design-time support (units mSQLCOMP and mSQLfldlinks): registration with a form
// designer, the table component's property editors and the field link designer. A designer
// includes this header and calls corvane::Register().
#pragma once

#include "design/FieldLinkDesigner.h"
#include "design/PropertyEditors.h"
#include "design/Registration.h"

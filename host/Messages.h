// The host's message texts (classic English). %s / %d / %g are Format placeholders.
#pragma once

namespace host {

// ---- Database texts the library names
inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* SNotIndexField = "Field '%s' is not indexed and cannot be modified";
inline constexpr const char* SHandleError = "Error creating cursor handle";
inline constexpr const char* SDatabaseOpen = "Cannot perform this operation on an open database";
inline constexpr const char* SDuplicateDatabaseName = "Duplicate database name '%s'";
inline constexpr const char* SNoTableName = "Missing TableName property";
inline constexpr const char* SCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* STableMismatch = "Source and destination tables are incompatible";
inline constexpr const char* SIndexFieldMissing = "Cannot access index field '%s'";
inline constexpr const char* SFieldIndexError = "Field index out of range";
inline constexpr const char* SNoFieldIndexes = "No index currently active";
inline constexpr const char* SCompositeIndexError =
    "Cannot use array of Field values with Expression Indices";
inline constexpr const char* SEmptySQLStatement = "No SQL statement available";
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SNoParameterValue = "No value for parameter '%s'";
inline constexpr const char* SMissingDataSource = "Missing MasterSource or DataSource";
inline constexpr const char* SLinkDesigner = "Field '%s', from the Detail Fields list, must be linked";
inline constexpr const char* SPrimary = "Primary";
inline constexpr const char* SNoFieldAccess = "Cannot access field '%s' in a filter";

inline constexpr const char* SShortMonthNameJan = "Jan";
inline constexpr const char* SShortMonthNameFeb = "Feb";
inline constexpr const char* SShortMonthNameMar = "Mar";
inline constexpr const char* SShortMonthNameApr = "Apr";
inline constexpr const char* SShortMonthNameMay = "May";
inline constexpr const char* SShortMonthNameJun = "Jun";
inline constexpr const char* SShortMonthNameJul = "Jul";
inline constexpr const char* SShortMonthNameAug = "Aug";
inline constexpr const char* SShortMonthNameSep = "Sep";
inline constexpr const char* SShortMonthNameOct = "Oct";
inline constexpr const char* SShortMonthNameNov = "Nov";
inline constexpr const char* SShortMonthNameDec = "Dec";

inline constexpr const char* SLongMonthNameJan = "January";
inline constexpr const char* SLongMonthNameFeb = "February";
inline constexpr const char* SLongMonthNameMar = "March";
inline constexpr const char* SLongMonthNameApr = "April";
inline constexpr const char* SLongMonthNameMay = "May";
inline constexpr const char* SLongMonthNameJun = "June";
inline constexpr const char* SLongMonthNameJul = "July";
inline constexpr const char* SLongMonthNameAug = "August";
inline constexpr const char* SLongMonthNameSep = "September";
inline constexpr const char* SLongMonthNameOct = "October";
inline constexpr const char* SLongMonthNameNov = "November";
inline constexpr const char* SLongMonthNameDec = "December";

inline constexpr const char* SShortDayNameSun = "Sun";
inline constexpr const char* SShortDayNameMon = "Mon";
inline constexpr const char* SShortDayNameTue = "Tue";
inline constexpr const char* SShortDayNameWed = "Wed";
inline constexpr const char* SShortDayNameThu = "Thu";
inline constexpr const char* SShortDayNameFri = "Fri";
inline constexpr const char* SShortDayNameSat = "Sat";

inline constexpr const char* SLongDayNameSun = "Sunday";
inline constexpr const char* SLongDayNameMon = "Monday";
inline constexpr const char* SLongDayNameTue = "Tuesday";
inline constexpr const char* SLongDayNameWed = "Wednesday";
inline constexpr const char* SLongDayNameThu = "Thursday";
inline constexpr const char* SLongDayNameFri = "Friday";
inline constexpr const char* SLongDayNameSat = "Saturday";

// ---- Other database texts
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SFieldRequired = "Field '%s' must have a value";
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
inline constexpr const char* SDuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* SFieldNameMissing = "Field name missing";
inline constexpr const char* SRecordNotFound = "Record not found";
inline constexpr const char* SFieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* SFieldValueError = "Invalid value for field '%s'";
inline constexpr const char* SFieldRangeError =
    "%g is not a valid value for field '%s'. The allowed range is %g to %g";
inline constexpr const char* SInvalidIntegerValue = "'%s' is not a valid integer value for field '%s'";
inline constexpr const char* SInvalidFloatValue = "'%s' is not a valid floating point value for field '%s'";
inline constexpr const char* SInvalidBoolValue = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* SInvalidFieldSize = "Invalid field size";
inline constexpr const char* SFieldTypeMismatch = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* SFieldSizeMismatch = "Size mismatch for field '%s', expecting: %d actual: %d";
inline constexpr const char* SInvalidCalcType = "Field '%s' cannot be a calculated or lookup field";
inline constexpr const char* SUnknownFieldType = "Field '%s' is of an unknown type";
inline constexpr const char* SBadFieldType = "Field '%s' is of an unsupported type";
inline constexpr const char* SDataSetMissing = "Field '%s' has no dataset";
inline constexpr const char* SLookupInfoError = "Lookup information for field '%s' is incomplete";
// Database resource text; the component-name text of the same classic name is
// SDuplicateComponentName below.
inline constexpr const char* SDuplicateName = "Duplicate name '%s' in %s";
inline constexpr const char* SDuplicateIndexName = "Duplicate index name '%s'";
inline constexpr const char* SIndexNotFound = "Index '%s' not found";
inline constexpr const char* SNoIndexForFields = "No index for fields '%s'";
inline constexpr const char* SDataSourceChange = "DataSource cannot be changed";
inline constexpr const char* SParameterNotFound = "Parameter '%s' not found";
inline constexpr const char* SInvalidVersion = "Unable to load bind parameters";
inline constexpr const char* SLinkMasterSource =
    "The MasterSource property of '%s' must be linked to a DataSource";
inline constexpr const char* SLinkDetail = "'%s' cannot be opened";
inline constexpr const char* STextTrue = "True";
inline constexpr const char* STextFalse = "False";

// ---- Filter expression texts
inline constexpr const char* SExprTermination = "Filter expression incorrectly terminated";
inline constexpr const char* SExprNameError = "Unterminated field name";
inline constexpr const char* SExprStringError = "Unterminated string constant";
inline constexpr const char* SExprInvalidChar = "Invalid filter expression character: '%s'";
inline constexpr const char* SExprNoLParen = "'(' expected but %s found";
inline constexpr const char* SExprNoRParen = "')' expected but %s found";
inline constexpr const char* SExprNoRParenOrComma = "')' or ',' expected but %s found";
inline constexpr const char* SExprExpected = "Expression expected but %s found";
inline constexpr const char* SExprNothing = "nothing";
inline constexpr const char* SExprBadField = "Field '%s' cannot be used in a filter expression";
inline constexpr const char* SExprBadNullTest = "NULL only allowed with '=' and '<>'";
inline constexpr const char* SExprRangeError = "Constant out of range";
inline constexpr const char* SExprIncorrect = "Incorrectly formed filter expression";
inline constexpr const char* SExprTypeMis = "Type mismatch in expression";
inline constexpr const char* SExprNoArith = "Arithmetic in filter expressions not supported";
inline constexpr const char* SExprEmptyInList = "IN predicate list may not be empty";
inline constexpr const char* SExprBadConst = "Constant is not correct type %s";
inline constexpr const char* SInvalidKeywordUse = "Invalid use of keyword";

// ---- Run-time library texts
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SListCapacityError = "List capacity out of bounds (%d)";
inline constexpr const char* SListCountError = "List count out of bounds (%d)";
inline constexpr const char* SDuplicateString = "String list does not allow duplicates";
inline constexpr const char* SSortedListError = "Operation not allowed on sorted list";
inline constexpr const char* SDuplicateComponentName = "A component named %s already exists";
inline constexpr const char* SInvalidName = "'%s' is not a valid component name";
inline constexpr const char* SAssignError = "Cannot assign a %s to a %s";
inline constexpr const char* SOperationAborted = "Operation aborted";
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SFOpenError = "Cannot open file %s";
inline constexpr const char* SFCreateError = "Cannot create file %s";
inline constexpr const char* SUnknownProperty = "Property %s does not exist";
inline constexpr const char* SPropertyException = "Error reading %s%s%s: %s";
inline constexpr const char* SInvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* SInvalidFloat = "'%s' is not a valid floating point value";
inline constexpr const char* SInvalidDate = "'%s' is not a valid date";
inline constexpr const char* SInvalidTime = "'%s' is not a valid time";
inline constexpr const char* SInvalidDateTime = "'%s' is not a valid date and time";
inline constexpr const char* SInvalidTimeStamp = "'%d.%d' is not a valid timestamp";
inline constexpr const char* SDateEncodeError = "Invalid argument to date encode";
inline constexpr const char* STimeEncodeError = "Invalid argument to time encode";
inline constexpr const char* SInvalidFormat = "Format '%s' invalid or incompatible with argument";
inline constexpr const char* SArgumentMissing = "No argument for format '%s'";
inline constexpr const char* SVarTypeCastError = "Could not convert variant of type (%s) into type (%s)";
inline constexpr const char* SInvalidVarOp = "Invalid variant operation";
inline constexpr const char* SVarArrayBounds = "Variant or safe array index out of bounds";
inline constexpr const char* SVarNotArray = "Variant is not an array";

} // namespace host

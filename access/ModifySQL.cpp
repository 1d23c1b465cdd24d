// Generated INSERT, UPDATE and DELETE statements, the record writes that run them, and the
// substitution of parameter values into a statement's text.
//
// mSQL has no updatable cursor: a write runs its own statement on a temporary cursor, then the cursor
// re-runs its statement to fetch the changed result and finds its place again.
#include "access/ModifySQL.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "access/EmSQLException.h"
#include "access/NativeDataSet.h"
#include "access/RecordSlots.h"
#include "client/ValueConversions.h"
#include "client/msqlBinding.h"
#include "host/Exceptions.h"
#include "host/Params.h"

namespace corvane {

namespace {

constexpr int SecondsPerDay = 86400;
// The dates mSQL can carry: 0001-01-01 to 9999-12-31, as date-time values.
constexpr double FirstDate = -693593;
constexpr double LastDate = 2958465;

// English month abbreviations, the only ones mSQL reads; used when the month table is not filled.
constexpr const char* EnglishMonths[13] = {"",    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "hh:mm:ss" of a second of the day.
std::string TimeTextFromSeconds(int64_t seconds) {
    seconds = std::clamp<int64_t>(seconds, 0, SecondsPerDay - 1);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

// Second of the day of a date-time value's time part, rounded; a time that rounds to 24:00:00 stays on
// its day as its last second.
int64_t SecondsOfDay(host::TDateTime value) {
    const double fraction = std::fabs(value - std::trunc(value));
    return std::min<int64_t>(std::llround(fraction * SecondsPerDay), SecondsPerDay - 1);
}

// Second of the day of a host time (milliseconds since midnight), rounded as SecondsOfDay.
int64_t SecondsOfMilliseconds(int32_t msecs) {
    return std::min<int64_t>((static_cast<int64_t>(msecs) + 500) / 1000, SecondsPerDay - 1);
}

// Whether value's date lies in the years mSQL can carry.
bool DateInRange(host::TDateTime value) {
    const double date = std::trunc(value);
    return date >= FirstDate && date <= LastDate;
}

// The row a write means changed or vanished since it was read: nothing is saved.
[[noreturn]] void RowNotFound() {
    throw EmSQLException(DBIERR_KEYORRECDELETED, "The row was changed or deleted since it was read");
}

[[noreturn]] void RefuseZeroByte(const std::string& what) {
    throw EmSQLException(DBIERR_INVALIDPARAM, what + " contains a zero byte, which mSQL cannot store");
}

} // namespace

// ---- Literals

std::string mSQLQuote(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '\'';
    for (const char c : text) {
        if (c == '\0') RefuseZeroByte("A text");
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string mSQLFloatText(double value) {
    if (!std::isfinite(value)) throw EmSQLException(DBIERR_INVALIDPARAM);
    char text[64];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    std::string literal(text, result.ptr);
    // mSQL reads an exponent only after a fraction: 1e+20 becomes 1.0e+20 (to_chars always signs it).
    const size_t exponent = literal.find('e');
    if (exponent != std::string::npos && literal.find('.') == std::string::npos)
        literal.insert(exponent, ".0");
    return literal;
}

std::string mSQLDateText(host::TDateTime value) {
    if (!DateInRange(value))
        throw EmSQLException(DBIERR_INVALIDPARAM,
                             "A date lies outside the years 1 to 9999 that mSQL can store");
    int year = 0, month = 0, day = 0;
    host::DecodeDate(value, year, month, day);
    std::string name = GetMonthNameFromNum(month);
    if (name.empty() && month >= 1 && month <= 12) name = EnglishMonths[month];
    char yearText[16];
    std::snprintf(yearText, sizeof yearText, "%04d", year);
    return std::to_string(day) + '-' + name + '-' + yearText;
}

std::string mSQLTimeText(host::TDateTime value) {
    return TimeTextFromSeconds(SecondsOfDay(value));
}

std::string ParamLiteral(const host::TParam& param) {
    if (param.IsNull()) return "NULL";
    const host::Variant value = param.Value();
    const auto quoted = [&param](const std::string& text) {
        if (text.find('\0') != std::string::npos)
            RefuseZeroByte("The value of parameter '" + param.Name() + "'");
        return mSQLQuote(text);
    };
    if (value.IsArray()) return quoted(value.AsString()); // raises the host's conversion error
    switch (value.VarType()) {
    case host::varEmpty:
    case host::varNull:
        return "NULL";
    case host::varSmallint:
    case host::varInteger:
    case host::varByte:
    case host::varInt64:
        return std::to_string(value.AsInt64());
    case host::varDouble:
        return mSQLFloatText(value.AsDouble());
    case host::varCurrency:
        return mSQLFloatText(value.AsCurrency());
    case host::varDate: {
        const host::TDateTime dateTime = value.AsDateTime();
        if (!DateInRange(dateTime))
            throw EmSQLException(DBIERR_INVALIDPARAM,
                                 "The date of parameter '" + param.Name() +
                                     "' lies outside the years 1 to 9999 that mSQL can store");
        const host::TFieldType type = param.DataType();
        const bool hasTime = SecondsOfDay(dateTime) != 0;
        const bool hasDate = std::trunc(dateTime) != 0;
        if (type == host::ftDate || (type != host::ftTime && !hasTime))
            return mSQLQuote(mSQLDateText(dateTime));
        if (type == host::ftTime || !hasDate) return mSQLQuote(mSQLTimeText(dateTime));
        return mSQLQuote(mSQLDateText(dateTime) + ' ' + mSQLTimeText(dateTime));
    }
    case host::varBoolean:
        return value.AsBoolean() ? "'Y'" : "'N'";
    default:
        return quoted(value.AsString());
    }
}

std::string SubstituteParams(const host::TParams& params, std::string_view sql) {
    std::string out;
    out.reserve(sql.size());
    host::ScanParamMarkers(
        sql, [&out](std::string_view text) { out += text; },
        [&](const std::string& marker, bool quoted) {
            if (marker.empty()) {
                out += ':'; // no name follows: not a marker
                return;
            }
            std::string name = marker;
            if (!quoted && name.size() >= 2 && name.front() == '[' && name.back() == ']' &&
                !params.FindParam(name))
                name = name.substr(1, name.size() - 2);
            out += ParamLiteral(*params.ParamByName(name));
        });
    return out;
}

// ---- Field literals

bool TNativeDataSet::AppendHostLiteral(const TmSQLField* field, const void* value, std::string& out) const {
    switch (field->NativeType()) {
    case INT_TYPE:
        out += std::to_string(LoadLE<int32_t>(value));
        return true;
    case UINT_TYPE:
        // The slot holds the column's 32 bits; an unsigned column reads them unsigned.
        out += std::to_string(LoadLE<uint32_t>(value));
        return true;
    case CHAR_TYPE:
        out += mSQLQuote(static_cast<const char*>(value));
        return true;
    case REAL_TYPE:
    case MONEY_TYPE:
        out += mSQLFloatText(LoadLE<double>(value));
        return true;
    case DATE_TYPE:
        out += mSQLQuote(mSQLDateText(static_cast<double>(LoadLE<int32_t>(value) - DateDelta)));
        return true;
    case TIME_TYPE:
        out += mSQLQuote(TimeTextFromSeconds(SecondsOfMilliseconds(LoadLE<int32_t>(value))));
        return true;
    default:
        return false; // TEXT and types without a literal form
    }
}

std::string TNativeDataSet::EditStreamText(TmSQLField* field) {
    const uint8_t* slot = field->FieldValue();
    uint32_t handle = TBlobStreams::NoStream;
    if (slot && slot[0] != 0) handle = LoadLE<uint32_t>(slot + 1);
    if (handle == TBlobStreams::NoStream) return std::string();
    host::TMemoryStream* stream = EditStream(field);
    // A stale handle would silently write an empty text over the stored one.
    if (!stream) throw EmSQLException(DBIERR_INVALIDHNDL);
    const uint8_t* data = stream->Memory();
    return data ? std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(stream->Size()))
                : std::string();
}

bool TNativeDataSet::AppendFieldLiteral(TmSQLField* field, uint8_t* record, std::string& out) {
    field->SetBuffer(record);
    if (field->GetNull()) return false;
    if (field->FieldType() == fldBLOB) {
        if (field->NativeType() != TEXT_TYPE) return false;
        // The whole text is sent: a TEXT column's declared length is only the part kept in the row.
        const std::string text = EditStreamText(field);
        if (text.find('\0') != std::string::npos)
            RefuseZeroByte("The text of field '" + ColumnName(field->FieldNumber() - 1) + "'");
        out += mSQLQuote(text);
        return true;
    }
    uint8_t* value = HostValueBuffer();
    bool blank = true;
    NativeToHost(field, record, blank, value);
    if (blank) return false;
    return AppendHostLiteral(field, value, out);
}

std::string TNativeDataSet::KeyConditions(uint8_t* record, std::string* firstField) {
    std::vector<uint16_t> numbers;
    uint16_t count = 0;
    GetKeys(false, numbers, count);
    std::string conditions;
    for (const uint16_t number : numbers) {
        TmSQLField* field = fFieldDescs->GetField(number);
        if (field->FieldType() == fldBLOB) continue;
        field->SetBuffer(record);
        std::string condition = ColumnName(number - 1) + "=";
        // A null key field is tested with mSQL's null test, so that it still narrows the rows.
        if (field->GetNull())
            condition += "NULL";
        else if (!AppendFieldLiteral(field, record, condition))
            continue;
        if (conditions.empty() && firstField) *firstField = ColumnName(number - 1);
        if (!conditions.empty()) conditions += " AND ";
        conditions += condition;
    }
    return conditions;
}

// ---- Statements

std::string TNativeDataSet::GetInsertSQL(const std::string& table, uint8_t* newRecord) {
    if (!newRecord) throw EmSQLException(DBIERR_INVALIDPARAM);
    std::string names;
    std::string values;
    for (int i = 0; i < fFieldDescs->Count(); ++i) {
        TmSQLField* field = fFieldDescs->Field(i);
        std::string literal;
        if (!AppendFieldLiteral(field, newRecord, literal)) continue;
        if (!names.empty()) {
            names += ", ";
            values += ", ";
        }
        names += ColumnName(field->FieldNumber() - 1);
        values += literal;
    }
    if (names.empty()) {
        // A record without any value still is a row the user posted: it is inserted with NULLs (the
        // server refuses it when a column must have a value).
        if (fFieldDescs->Count() == 0) return std::string();
        names = ColumnName(fFieldDescs->Field(0)->FieldNumber() - 1);
        values = "NULL";
    }
    return "INSERT INTO " + table + " (" + names + ") VALUES (" + values + ")";
}

std::string TNativeDataSet::GetUpdateSQL(const std::string& table, uint8_t* oldRecord, uint8_t* newRecord) {
    if (!oldRecord || !newRecord) throw EmSQLException(DBIERR_INVALIDPARAM);
    std::string assignments;
    for (int i = 0; i < fFieldDescs->Count(); ++i) {
        TmSQLField* field = fFieldDescs->Field(i);
        field->SetBuffer(newRecord);
        if (!field->GetChanged()) continue;
        std::string assignment = ColumnName(field->FieldNumber() - 1) + "=";
        if (field->GetNull())
            assignment += "NULL";
        else if (!AppendFieldLiteral(field, newRecord, assignment))
            continue;
        if (!assignments.empty()) assignments += ", ";
        assignments += assignment;
    }
    if (assignments.empty()) return std::string();
    const std::string conditions = KeyConditions(oldRecord);
    // Without a condition the statement would change every row of the table.
    if (conditions.empty()) throw EmSQLException(DBIERR_NOTUNIQUELYINDEXED);
    return "UPDATE " + table + " SET " + assignments + " WHERE " + conditions;
}

std::string TNativeDataSet::GetDeleteSQL(const std::string& table, uint8_t* oldRecord) {
    if (!oldRecord) throw EmSQLException(DBIERR_INVALIDPARAM);
    const std::string conditions = KeyConditions(oldRecord);
    if (conditions.empty()) throw EmSQLException(DBIERR_NOTUNIQUELYINDEXED);
    return "DELETE FROM " + table + " WHERE " + conditions;
}

// ---- Record writes

int32_t TNativeDataSet::ExecuteOnTemporaryCursor(const std::string& sql) {
    if (!fConnect) throw EmSQLException(DBIERR_INVALIDHNDL);
    fConnect->InternalConnect();
    const auto statement =
        std::make_unique<TNativeDataSet>(fConnect, nullptr, std::string(), std::string(), 0);
    statement->SetSQLText(sql.c_str());
    statement->Execute();
    return statement->RowsAffected();
}

void TNativeDataSet::CheckSingleRow(const std::string& table, uint8_t* record) {
    std::vector<uint16_t> uniqueKey;
    uint16_t count = 0;
    GetKeys(true, uniqueKey, count);
    if (count > 0) return; // a unique index names one row at most (mSQL keeps NULLs out of indexes)
    std::string firstField;
    const std::string conditions = KeyConditions(record, &firstField);
    if (conditions.empty()) throw EmSQLException(DBIERR_NOTUNIQUELYINDEXED);
    const int32_t rows =
        ExecuteOnTemporaryCursor("SELECT " + firstField + " FROM " + table + " WHERE " + conditions);
    if (rows == 0) RowNotFound();
    if (rows > 1)
        throw EmSQLException(DBIERR_NOTUNIQUELYINDEXED, "The values that identify the row match " +
                                                            std::to_string(rows) + " rows of " + table);
}

int32_t TNativeDataSet::ExecuteRowWrite(const std::string& sql) {
    const int32_t rows = ExecuteOnTemporaryCursor(sql);
    if (rows == 0) RowNotFound();
    return rows;
}

bool TNativeDataSet::RowMatches(m_row row, const std::vector<uint16_t>& fields, uint8_t* record) {
    if (!row) return false;
    for (const uint16_t number : fields) {
        if (number < 1 || number > FieldCount()) continue;
        TmSQLField* field = fFieldDescs->GetField(number);
        if (field->FieldType() == fldBLOB) continue;
        const char* text = row[number - 1];
        field->SetBuffer(record);
        const bool isNull = field->GetNull();
        if (isNull || !text) {
            if (isNull != (text == nullptr)) return false;
            continue;
        }
        uint8_t* value = HostValueBuffer();
        bool blank = true;
        NativeToHost(field, record, blank, value);
        if (blank) return false;
        const std::string_view rowText(text);
        try {
            switch (field->NativeType()) {
            case INT_TYPE:
            case UINT_TYPE: {
                int64_t number64 = 0;
                const auto [end, error] =
                    std::from_chars(rowText.data(), rowText.data() + rowText.size(), number64);
                const int64_t expected =
                    field->NativeType() == INT_TYPE ? LoadLE<int32_t>(value) : LoadLE<uint32_t>(value);
                if (error != std::errc() || number64 != expected) return false;
                break;
            }
            case CHAR_TYPE:
                if (rowText != reinterpret_cast<const char*>(value)) return false;
                break;
            case REAL_TYPE:
            case MONEY_TYPE: {
                const double expected = LoadLE<double>(value);
                const double actual = StrToSQLFloat(rowText);
                if (std::fabs(actual - expected) > 1e-9 * std::max(1.0, std::fabs(expected))) return false;
                break;
            }
            case DATE_TYPE:
                if (static_cast<int32_t>(std::trunc(SqlDateToDateTime(rowText))) + DateDelta !=
                    LoadLE<int32_t>(value))
                    return false;
                break;
            case TIME_TYPE:
                if (SecondsOfDay(SqlDateToDateTime(rowText)) != SecondsOfMilliseconds(LoadLE<int32_t>(value)))
                    return false;
                break;
            default:
                break; // a type without literal form does not identify the row
            }
        } catch (const host::Exception&) {
            return false; // a text that cannot be read is not the value written
        }
    }
    return true;
}

void TNativeDataSet::RefreshAfterWrite(uint8_t* record, uint8_t* keyRecord, int32_t fallback) {
    try {
        ReOpenTable();
        const int32_t rows = RowCount();
        if (rows == 0) {
            // Nothing left to stand on: the write succeeded all the same.
            fRecNo = 0;
            fCurrentBuffer = nullptr;
            fPosition = cpUnpositioned;
            return;
        }
        int32_t target = -1;
        if (keyRecord) {
            // The written row, found by its key values (every non-TEXT field without a unique index);
            // the last match is taken, as a new row is appended behind identical ones.
            std::vector<uint16_t> keys;
            uint16_t count = 0;
            GetKeys(false, keys, count);
            // The rows are read forwards once and then searched from the end: a client library whose
            // seek walks its row list from the first row would make a search by seeks quadratic.
            std::vector<m_row> stored;
            if (!keys.empty()) StoredRows(stored);
            for (int32_t position = static_cast<int32_t>(stored.size()) - 1; position >= 0 && target < 0;
                 --position)
                if (RowMatches(stored[static_cast<size_t>(position)], keys, keyRecord)) target = position;
        }
        // The row is not in the result (a range or the statement excludes it): the nearest row instead.
        if (target < 0) target = std::clamp(fallback, 0, rows - 1);
        fRecNo = target;
        fCurrentBuffer = record;
        fPosition = cpOnRecord;
        CurrentRecord(target);
    } catch (...) {
        // The server stored the write, so the write succeeded: reporting it as failed would make the
        // caller write it again. The cursor reports the failure on its next read, then reads again.
        fRereadPending = true;
        fRereadError = std::current_exception();
        fRereadRecNo = fallback;
        fCurrentBuffer = nullptr;
        fPosition = cpCrack;
    }
}

void TNativeDataSet::ReleaseEditStreams(uint8_t* record) {
    for (int i = 0; i < fFieldDescs->Count(); ++i) {
        TmSQLField* field = fFieldDescs->Field(i);
        if (field->FieldType() != fldBLOB) continue;
        field->SetBuffer(record);
        uint8_t* slot = field->FieldValue();
        if (!slot || slot[0] == 0 || field->FieldLength() < sizeof(uint32_t)) continue;
        fBlobStreams.Release(LoadLE<uint32_t>(slot + 1));
        std::memset(slot, 0, sizeof(uint32_t) + 1);
    }
}

void TNativeDataSet::InsertRecord(DBILockType /*lock*/, uint8_t* newRecord) {
    if (!newRecord) throw EmSQLException(DBIERR_INVALIDPARAM);
    const TBufferScope scope(*this);
    fCurrentBuffer = newRecord;
    const std::string sql = GetInsertSQL(WriteTableName(), newRecord);
    int32_t affected = 0;
    if (!sql.empty()) {
        affected = ExecuteOnTemporaryCursor(sql);
        fPosition = cpCrack;
        // The texts are stored now, and the re-read below replaces the buffer's references to them.
        ReleaseEditStreams(newRecord);
    }
    RefreshAfterWrite(newRecord, newRecord, INT32_MAX);
    fRowsAffected = affected;
    fRecordLocked = false;
}

void TNativeDataSet::AppendRecord(uint8_t* newRecord) {
    InsertRecord(dbiNOLOCK, newRecord);
}

void TNativeDataSet::ModifyRecord(uint8_t* oldRecord, uint8_t* newRecord, int32_t /*freeLock*/) {
    if (!oldRecord || !newRecord) throw EmSQLException(DBIERR_INVALIDPARAM);
    const TBufferScope scope(*this);
    fCurrentBuffer = newRecord;
    const int32_t previous = fRecNo;
    const std::string table = WriteTableName();
    const std::string sql = GetUpdateSQL(table, oldRecord, newRecord);
    int32_t affected = 0;
    if (!sql.empty()) {
        CheckSingleRow(table, oldRecord);
        affected = ExecuteRowWrite(sql);
        fPosition = cpCrack;
        ReleaseEditStreams(newRecord);
    }
    RefreshAfterWrite(newRecord, newRecord, previous);
    fRowsAffected = affected;
    fRecordLocked = false;
}

void TNativeDataSet::DeleteRecord(uint8_t* oldRecord) {
    if (!oldRecord) throw EmSQLException(DBIERR_INVALIDPARAM);
    const TBufferScope scope(*this);
    fCurrentBuffer = oldRecord;
    const int32_t previous = fRecNo;
    const std::string table = WriteTableName();
    const std::string sql = GetDeleteSQL(table, oldRecord);
    CheckSingleRow(table, oldRecord);
    const int32_t affected = ExecuteRowWrite(sql);
    fPosition = cpCrack;
    ReleaseEditStreams(oldRecord);
    RefreshAfterWrite(oldRecord, nullptr, previous > 0 ? previous - 1 : 0);
    fRowsAffected = affected;
    fRecordLocked = false;
}

void TNativeDataSet::QuerySetParams(const host::TParams& params, std::string& sql) {
    sql = SubstituteParams(params, sql);
    SetSQLText(sql.c_str());
}

} // namespace corvane

// EmSQLException, the exception of the whole native access layer, and the helpers that raise it.
//
// The engine call surface turns an EmSQLException into a result code: the error code itself when the
// exception was made from a result code (table-code flag set), otherwise DBIERR_NATIVE; either way the
// native message is kept as the error text (for a coded failure it is the detail behind the code). The
// exception is silent (it derives from host::EAbort) and its inherited message is always empty; its text
// travels in the native message.
#pragma once

#include <string>
#include <string_view>

#include "access/EngineTypes.h"
#include "host/Exceptions.h"

namespace corvane {

class TNativeConnect;

// Longest native message the short-text constructor keeps.
inline constexpr size_t MaxShortNativeMessage = 255;

class EmSQLException : public host::EAbort {
public:
    // From a result code: that code, table-code flag set, no native message.
    explicit EmSQLException(DBIResult errorCode);
    // From a result code and a short text (cut to 255 characters): that code, table-code flag set.
    EmSQLException(DBIResult errorCode, std::string_view text);
    // From a connection: the client library's last error text; code DBIERR_INVALIDPARAM when that text
    // is not empty, otherwise 0; table-code flag clear.
    explicit EmSQLException(TNativeConnect* connection);
    // From a connection and a text: code DBIERR_NATIVE, that text, table-code flag clear.
    EmSQLException(TNativeConnect* connection, std::string text);

    // The connection the exception came from, or null.
    TNativeConnect* Connection() const { return fConnection; }
    DBIResult ErrorCode() const { return fErrorCode; }
    // True only when the exception was made from a result code.
    bool HasTableCode() const { return fHasTableCode; }
    // The native message.
    const std::string& GetNativeErrorMsg() const { return fNativeMessage; }

private:
    TNativeConnect* fConnection = nullptr;
    DBIResult fErrorCode = DBIERR_NONE;
    bool fHasTableCode = false;
    std::string fNativeMessage;
};

// The client library's last error text, or an empty text when the library offers none.
std::string ClientErrorText();

// Raises EmSQLException from connection (the client's last error text).
[[noreturn]] void mSQLException(TNativeConnect* connection);
// Raises EmSQLException from connection and msg (code DBIERR_NATIVE).
[[noreturn]] void mSQLExceptionMsg(TNativeConnect* connection, const std::string& msg);

} // namespace corvane

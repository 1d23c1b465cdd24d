// The native layer's exception and its raising helpers.
#include "access/EmSQLException.h"

#include "client/msqlBinding.h"

namespace corvane {

EmSQLException::EmSQLException(DBIResult errorCode)
    : host::EAbort(std::string()), fErrorCode(errorCode), fHasTableCode(true) {}

EmSQLException::EmSQLException(DBIResult errorCode, std::string_view text)
    : host::EAbort(std::string()), fErrorCode(errorCode), fHasTableCode(true),
      fNativeMessage(text.substr(0, MaxShortNativeMessage)) {}

EmSQLException::EmSQLException(TNativeConnect* connection)
    : host::EAbort(std::string()), fConnection(connection), fNativeMessage(ClientErrorText()) {
    fErrorCode = fNativeMessage.empty() ? DBIERR_NONE : DBIERR_INVALIDPARAM;
}

EmSQLException::EmSQLException(TNativeConnect* connection, std::string text)
    : host::EAbort(std::string()), fConnection(connection), fErrorCode(DBIERR_NATIVE),
      fNativeMessage(std::move(text)) {}

std::string ClientErrorText() {
    // The error text function is absent while the client library is not loaded.
    if (!msqlGetErrMsg) return std::string();
    const char* text = msqlGetErrMsg(nullptr);
    return text ? std::string(text) : std::string();
}

void mSQLException(TNativeConnect* connection) {
    throw EmSQLException(connection);
}

void mSQLExceptionMsg(TNativeConnect* connection, const std::string& msg) {
    throw EmSQLException(connection, msg);
}

} // namespace corvane

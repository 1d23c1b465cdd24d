// Exception classes of the host run time and the error helpers the data layers raise through.
#pragma once

#include <exception>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "host/VarRec.h"

namespace host {

class TComponent;

// Base of every host exception: carries the message text shown to the user.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : fMessage(std::move(message)) {}
    const char* what() const noexcept override { return fMessage.c_str(); }
    const std::string& Message() const { return fMessage; }
    void SetMessage(std::string message) { fMessage = std::move(message); }

private:
    std::string fMessage;
};

// The "silent" exception: handlers that display errors skip it.
class EAbort : public Exception {
public:
    EAbort(); // "Operation aborted"
    explicit EAbort(const std::string& message) : Exception(message) {}
};

// Text and number conversions ("'%s' is not a valid integer value", ...).
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Variant conversions and operations ("Could not convert variant of type (%s) into type (%s)").
// Derives from EConvertError so that one handler catches every failed conversion.
class EVariantError : public EConvertError {
public:
    using EConvertError::EConvertError;
};

// TList / TCollection index, capacity and count errors.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// TStringList errors (same texts as EListError, plus duplicates and sorted-list errors).
class EStringListError : public Exception {
public:
    using Exception::Exception;
};

// Duplicate or invalid component names.
class EComponentError : public Exception {
public:
    using Exception::Exception;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EFilerError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
// "Stream read error"; also errors while reading components from a stream.
class EReadError : public EFilerError {
public:
    using EFilerError::EFilerError;
};
// "Stream write error".
class EWriteError : public EFilerError {
public:
    using EFilerError::EFilerError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// An operation that is not allowed in the object's current state.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A failed update: the message is the native error text; keeps the original exception.
class EUpdateError : public EDatabaseError {
public:
    EUpdateError(const std::string& nativeError, std::string context, int errorCode, int previousError,
                 std::shared_ptr<Exception> originalException)
        : EDatabaseError(nativeError), fContext(std::move(context)), fErrorCode(errorCode),
          fPreviousError(previousError), fOriginalException(std::move(originalException)) {}
    const std::string& Context() const { return fContext; }
    int ErrorCode() const { return fErrorCode; }
    int PreviousError() const { return fPreviousError; }
    Exception* OriginalException() const { return fOriginalException.get(); }

private:
    std::string fContext;
    int fErrorCode;
    int fPreviousError;
    std::shared_ptr<Exception> fOriginalException;
};

// A statement that returns no result set was asked for one.
class ENoResultSet : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// Raises EAbort with "Operation aborted".
[[noreturn]] void Abort();

// Raises EDatabaseError with "Name: message" when component is given and named, else message.
[[noreturn]] void DatabaseError(const std::string& message, TComponent* component = nullptr);
// Formats fmt with args first (see Format), then as DatabaseError.
[[noreturn]] void DatabaseErrorFmt(std::string_view fmt, std::initializer_list<TVarRec> args,
                                   TComponent* component = nullptr);

} // namespace host

// Exception classes of the host run time and the error helpers the data layers raise through.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

class TComponent;

// Base of every host exception: carries the message text shown to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// The "silent" exception: handlers that display errors skip it.
class EAbort : public Exception {
public:
    EAbort();
    explicit EAbort(const std::string& message) : Exception(message) {}
};

class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class EListError : public Exception {
public:
    using Exception::Exception;
};

class ENoResultSet : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// Raises EAbort with "Operation aborted".
[[noreturn]] void Abort();

}  // namespace host

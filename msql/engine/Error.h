// The engine's error type: carries mSQL's own message text for a failed statement or call.
#pragma once

#include <stdexcept>
#include <string>

namespace msql {

// A failure reported to the client with exactly this text (mSQL wording).
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace msql

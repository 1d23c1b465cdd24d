// Records the message boxes shown while it lives instead of printing them.
#pragma once

#include <string>
#include <vector>

#include "host/Dialogs.h"

namespace corvane::test {

struct ShownMessage {
    std::string text;
    int flags;
};

class MessageCapture {
public:
    MessageCapture()
        : fPrevious(host::SetMessageBoxHook([this](const std::string& text, const std::string&, int flags) {
              fMessages.push_back({text, flags});
              return host::IDOK;
          })) {}
    ~MessageCapture() { host::SetMessageBoxHook(fPrevious); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const std::vector<ShownMessage>& Messages() const { return fMessages; }

private:
    std::vector<ShownMessage> fMessages;
    host::TMessageBoxHook fPrevious;
};

} // namespace corvane::test

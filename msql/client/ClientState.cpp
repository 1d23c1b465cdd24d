// Process-wide client state and its error-text handling.
#include "client/ClientState.h"

#include "client/StoredResult.h"

#include <cstring>

namespace msql {

ClientState::~ClientState() {
    FreeStoredResult(pending);
}

void ClientState::SetError(const std::string& text) {
    // Like mSQL, the text is cut to the 200-byte buffer; one trailing newline is removed.
    size_t n = std::min(text.size(), sizeof errorText - 1);
    std::memcpy(errorText, text.data(), n);
    if (n > 0 && errorText[n - 1] == '\n') --n;
    errorText[n] = '\0';
}

Backend* ClientState::Find(int sock) {
    auto it = connections.find(sock);
    if (it == connections.end()) {
        SetError("mSQL server has gone away");
        return nullptr;
    }
    return it->second.get();
}

void ClientState::ReplacePending(m_result* result) {
    FreeStoredResult(pending);
    pending = result;
}

ClientState& State() {
    static ClientState state;
    return state;
}

} // namespace msql

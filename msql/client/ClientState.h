// Process-wide state of the client library, as in mSQL: the connections, the last error text,
// the pending result of the last SELECT and the info texts of the last connect.
#pragma once

#include "client/Backend.h"

#include "msql.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace msql {

struct ClientState {
    std::mutex lock; // guards everything below against concurrent callers
    // Open connections by handle (the descriptor number of the connection).
    std::map<int, std::unique_ptr<Backend>> connections;
    char errorText[200] = {};
    m_result* pending = nullptr;
    char serverInfo[64] = {};
    char hostInfo[64] = {};
    int protocol = 0;
    m_seq sequence{};

    ~ClientState();
    void SetError(const std::string& text);
    void ClearError() { errorText[0] = '\0'; }
    // The connection of a handle, or null with "mSQL server has gone away" set.
    Backend* Find(int sock);
    void ReplacePending(m_result* result);
};

ClientState& State();

} // namespace msql

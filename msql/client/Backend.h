// What a connection handle of the C API is backed by: the embedded engine in this process, or an
// mSQL server reached over TCP or a UNIX socket. Failures throw Error with mSQL's text.
#pragma once

#include "engine/Catalog.h"
#include "engine/Executor.h"
#include "engine/ResultSet.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace msql {

class Backend {
public:
    virtual ~Backend() = default;

    virtual void SelectDatabase(const std::string& name) = 0;
    virtual QueryOutcome Query(std::string_view sql) = 0;
    virtual ResultSet ListDatabases() = 0;
    virtual ResultSet ListTables() = 0;
    virtual ResultSet ListFields(const std::string& table) = 0;
    virtual ResultSet ListIndex(const std::string& table, const std::string& index) = 0;
    virtual void CreateDatabase(const std::string& name) = 0;
    virtual void DropDatabase(const std::string& name) = 0;
    virtual SequenceInfo GetSequence(const std::string& table) = 0;
    // Writes the server's statistics to out; `handles` is the number of open handles of this process.
    virtual void PrintStats(std::FILE* out, size_t handles) = 0;
    virtual void Shutdown() = 0;
    virtual void ReloadAcls() = 0;

    // Texts and protocol number reported by msqlGetServerInfo / msqlGetHostInfo / msqlGetProtoInfo.
    virtual std::string ServerInfo() const = 0;
    virtual std::string HostInfo() const = 0;
    virtual int Protocol() const = 0;
    // The descriptor number that is the connection's handle in the C API (a socket, or for the
    // embedded engine a descriptor held only to reserve the number).
    virtual int Descriptor() const = 0;
};

// A connection to the embedded engine on the data folder of new connections.
std::unique_ptr<Backend> MakeEmbeddedBackend(const std::string& user);

} // namespace msql

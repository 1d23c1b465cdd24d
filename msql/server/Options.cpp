// msqld's configuration: [general] TCP_Port, UNIX_Port, DB_Dir, Pid_File, Admin_User,
// Protocol_Version, Max_Connections and [system] Remote_Access from the file; flags win over it.
#include "server/Options.h"

#include "client/Config.h"
#include "engine/Session.h"

#include <cstdlib>
#include <stdexcept>

namespace msql::server {

namespace {

int Number(const std::string& name, const std::string& text, int low, int high) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high)
        throw std::runtime_error("bad value for " + name + ": '" + text + "'");
    return static_cast<int>(value);
}

} // namespace

const char* UsageText() {
    return "usage: msqld [options]\n"
           "  --config FILE         msql.conf-style configuration (default: $CONF_FILE)\n"
           "  --data-dir DIR        database folder (DB_Dir; default $MSQL_DATA_DIR or ./msqldata)\n"
           "  --port N              TCP port (TCP_Port; default $MSQL_TCP_PORT or 1114; 0: any free)\n"
           "  --listen ADDR         TCP address to listen on (default 127.0.0.1; 0.0.0.0 or :: for all)\n"
           "  --no-tcp              no TCP listener\n"
           "  --socket PATH         UNIX socket (UNIX_Port; default DIR/msqld.sock)\n"
           "  --no-socket           no UNIX socket\n"
           "  --pid-file PATH       pid file (Pid_File; default DIR/msqld.pid)\n"
           "  --admin-user NAME     user allowed admin requests from local connections (Admin_User)\n"
           "  --protocol 23|24      protocol number announced (Protocol_Version; default 24)\n"
           "  --max-connections N   connections served at once (Max_Connections; default 250)\n"
           "  --timeout MS          limit for a packet's rest and for a reply to be taken (default 10000)\n"
           "  --ready-fd FD         write the TCP port and a newline to FD once listening\n";
}

ServerOptions ParseOptions(const std::vector<std::string>& args, bool& help) {
    help = false;
    std::string configFile;
    if (const char* env = std::getenv("CONF_FILE"); env && *env) configFile = env;
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--config") configFile = args[i + 1];
    }

    ServerOptions options;
    Config config;
    if (!configFile.empty()) {
        int rc = config.Load(configFile);
        if (rc == -2) throw std::runtime_error("configuration file not found: " + configFile);
        if (rc < 0) throw std::runtime_error("bad line in configuration file " + configFile);
        options.configFile = configFile;
    }
    std::string value;
    auto entry = [&](const char* section, const char* item) {
        return config.FileEntry(section, item, value);
    };
    auto text = [&](const char* section, const char* item) -> std::string {
        if (!entry(section, item)) return {};
        // %I stands for the installation folder.
        return config.GetChar(section, item);
    };

    options.dataDir = text("general", "db_dir");
    if (options.dataDir.empty()) options.dataDir = Session::DefaultDataDir();
    options.unixSocket = text("general", "unix_port");
    options.pidFile = text("general", "pid_file");
    if (entry("general", "admin_user")) options.adminUser = value;
    if (entry("general", "tcp_port")) {
        options.port = Number("TCP_Port", value, 0, 65535);
    } else if (const char* env = std::getenv("MSQL_TCP_PORT"); env && *env) {
        options.port = Number("MSQL_TCP_PORT", env, 0, 65535);
    }
    if (entry("general", "protocol_version")) options.protocol = Number("Protocol_Version", value, 1, 999);
    if (entry("general", "max_connections"))
        options.maxConnections = Number("Max_Connections", value, 1, 10000);
    options.listen = config.GetInt("system", "remote_access") == 1 ? "0.0.0.0" : "127.0.0.1";

    bool noSocket = false, noTcp = false, socketGiven = false, pidGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (flag == "--help" || flag == "-h") {
            help = true;
            return options;
        }
        if (flag == "--no-socket") {
            noSocket = true;
            continue;
        }
        if (flag == "--no-tcp") {
            noTcp = true;
            continue;
        }
        if (i + 1 >= args.size()) throw std::runtime_error("unknown option or missing value: " + flag);
        const std::string& arg = args[++i];
        if (flag == "--config") {
        } else if (flag == "--data-dir") {
            options.dataDir = arg;
        } else if (flag == "--port") {
            options.port = Number(flag, arg, 0, 65535);
        } else if (flag == "--listen") {
            options.listen = arg;
        } else if (flag == "--socket") {
            options.unixSocket = arg;
            socketGiven = true;
        } else if (flag == "--pid-file") {
            options.pidFile = arg;
            pidGiven = true;
        } else if (flag == "--admin-user") {
            options.adminUser = arg;
        } else if (flag == "--protocol") {
            options.protocol = Number(flag, arg, 1, 999);
        } else if (flag == "--max-connections") {
            options.maxConnections = Number(flag, arg, 1, 10000);
        } else if (flag == "--timeout") {
            options.timeoutMs = Number(flag, arg, 1, 3600000);
        } else if (flag == "--ready-fd") {
            options.readyFd = Number(flag, arg, 0, 1 << 20);
        } else {
            throw std::runtime_error("unknown option: " + flag);
        }
    }
    if (options.unixSocket.empty() && !socketGiven) options.unixSocket = options.dataDir + "/msqld.sock";
    if (options.pidFile.empty() && !pidGiven) options.pidFile = options.dataDir + "/msqld.pid";
    if (noSocket) options.unixSocket.clear();
    if (noTcp) options.listen.clear();
    if (options.unixSocket.empty() && options.listen.empty())
        throw std::runtime_error("nothing to listen on: both --no-tcp and --no-socket given");
    return options;
}

} // namespace msql::server

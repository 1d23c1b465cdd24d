// The configuration file reader and the built-in defaults of mSQL 2.0.
#include "client/Config.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace msql {

namespace {

struct Default {
    const char* key;
    const char* value;
};

constexpr Default kDefaults[] = {
    {"general.inst_dir", "/usr/local/Hughes"},
    {"general.msql_user", "msql"},
    {"general.admin_user", "root"},
    {"general.pid_file", "%I/msql2d.pid"},
    {"general.tcp_port", "1114"},
    {"general.unix_port", "%I/msql2.sock"},
    {"general.db_dir", "%I/msqldb"},
    {"system.remote_access", "False"},
    {"system.local_access", "True"},
    {"system.host_lookup", "True"},
    {"system.read_only", "False"},
    {"system.msync_timer", "30"},
    {"system.table_cache", "8"},
};

std::string Lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

} // namespace

int Config::Load(const std::string& file) {
    if (loaded_) return -1;
    std::ifstream in(file);
    if (!in) in.open(file + ".conf");
    if (!in) return -2;
    std::string line, section, entries;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            if (close == std::string::npos) return -3;
            section = Lower(Trim(line.substr(1, close - 1)));
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || section.empty()) return -3;
        entries += section + "." + Lower(Trim(line.substr(0, eq))) + "=" + Trim(line.substr(eq + 1)) + "\n";
    }
    entries_ = std::move(entries);
    loaded_ = true;
    return 0;
}

void Config::LoadDefaultOnce() {
    if (loaded_) return;
    if (const char* file = std::getenv("CONF_FILE"); file && *file) Load(file);
    loaded_ = true;
}

bool Config::LookupFile(const std::string& key, std::string& value) const {
    std::istringstream in(entries_);
    std::string line;
    bool found = false;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + "=") == 0) {
            value = line.substr(key.size() + 1);
            found = true;
        }
    }
    return found;
}

bool Config::FileEntry(const std::string& section, const std::string& item, std::string& value) const {
    return LookupFile(Lower(section) + "." + Lower(item), value);
}

bool Config::Lookup(const std::string& section, const std::string& item, std::string& value) const {
    const std::string key = Lower(section) + "." + Lower(item);
    if (LookupFile(key, value)) return true;
    for (const auto& d : kDefaults) {
        if (key == d.key) {
            value = d.value;
            return true;
        }
    }
    return false;
}

int Config::GetInt(const std::string& section, const std::string& item) const {
    std::string value;
    if (!Lookup(section, item, value)) return -1;
    std::string lower = Lower(value);
    if (lower == "true") return 1;
    if (lower == "false") return 0;
    try {
        return std::stoi(value);
    } catch (const std::exception&) {
        return -1;
    }
}

const char* Config::GetChar(const std::string& section, const std::string& item) {
    std::string value;
    if (!Lookup(section, item, value)) return nullptr;
    std::string instDir;
    if (Lower(item) != "inst_dir") Lookup("general", "inst_dir", instDir);
    buffer_.clear();
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 1 < value.size() && value[i + 1] == 'I') {
            buffer_ += instDir;
            ++i;
        } else {
            buffer_ += value[i];
        }
    }
    return buffer_.c_str();
}

Config& GlobalConfig() {
    static Config config;
    return config;
}

} // namespace msql

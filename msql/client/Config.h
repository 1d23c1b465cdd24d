// mSQL's configuration calls: an INI-style file of [section] and Name = value lines over built-in
// defaults. The embedded engine itself reads nothing from it.
#pragma once

#include <string>

namespace msql {

class Config {
public:
    // 0 loaded, -1 already loaded, -2 file not found, -3 bad line.
    int Load(const std::string& file);
    // Loads $CONF_FILE (when set and readable) unless a file was loaded already; either way the
    // configuration counts as loaded afterwards (msqlConnect does this on first use).
    void LoadDefaultOnce();
    // An entry given by the loaded file (built-in defaults do not count).
    bool FileEntry(const std::string& section, const std::string& item, std::string& value) const;
    // Integer or boolean entry (True / False -> 1 / 0), -1 when unknown.
    int GetInt(const std::string& section, const std::string& item) const;
    // Text entry with %I expanded, or nullptr when unknown. Points into a buffer kept until the next call.
    const char* GetChar(const std::string& section, const std::string& item);

private:
    bool Lookup(const std::string& section, const std::string& item, std::string& value) const;
    bool LookupFile(const std::string& key, std::string& value) const;
    bool loaded_ = false;
    std::string entries_; // "section.item=value\n" lines read from the file
    std::string buffer_;
};

Config& GlobalConfig();

} // namespace msql
